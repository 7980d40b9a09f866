#pragma once

#include <QObject>

namespace flashwell {

// The application's delegate. Launch, termination and the check-for-update item need nothing of
// their own: the root controller does the work.
class AppDelegate final : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void applicationDidFinishLaunching() {}
    void applicationWillTerminate() {}
    void checkUpdate() {}
};

} // namespace flashwell
