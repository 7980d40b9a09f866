#pragma once

#include <QDir>
#include <QStandardPaths>
#include <QString>

// One program at a time at the devices, because two would fight over the same one: the window
// holds this lock for as long as it runs, flashwell-cli for as long as it updates.
namespace flashwell::instance_lock {

inline QString name()
{
    return QStringLiteral("io.github.fenwyk.Flashwell");
}

inline QString runtimeDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

// The lock file of `lockName` in `directory`.
inline QString path(const QString &directory, const QString &lockName = name())
{
    return QDir(directory).filePath(lockName + QStringLiteral(".lock"));
}

} // namespace flashwell::instance_lock
