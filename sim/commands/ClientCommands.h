#pragma once

#include <QStringList>

namespace flashwell::lab {

// The firmware-server client from a terminal: the real `SHttp` operations against any server.
//   releases --type N [--server URL] [--beta-builds] [--language TAG]
//   newest --type N --version X --beta N [--server URL] [--beta-builds] [--language TAG]
//   download --file-url URL --id N --size N [--server URL] [--downloads DIR]
// Exit status 0 for an answer, 1 for a failure or no answer, 2 for bad usage.
int runReleases(const QStringList &args);
int runNewest(const QStringList &args);
int runDownload(const QStringList &args);

} // namespace flashwell::lab
