#pragma once

#include "platform/CommandLine.h"

#include <QString>
#include <QStringList>

namespace flashwell {

// What `flashwell` is started with: --record FILE, --help and --version. Every other word is
// Qt's (-platform, -style…) or nobody's and is passed over, as is a --record without its file.
struct StartOptions
{
    CommandLine::Request request = CommandLine::Request::Run;
    QString recordPath; // empty: no recording from the start

    // `arguments` without the program name. Read before any application object exists, so
    // --help and --version need no display.
    static StartOptions read(const QStringList &arguments);
    // The --help text, in the interface language once translations are installed.
    static QString usage();
};

} // namespace flashwell
