#pragma once

#include "rigs/SessionRig.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/BootRecorder.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <string>

namespace flashwell::test {

// A bootloader session on a rig of its own, a recorder of what it tells its delegates and a folder
// for the firmware files it is given: what every session test stands on.
template <class Session, class Recorder = BootRecorder>
class BootSessionTest : public ::testing::Test, protected lab::SessionRig<Session>
{
protected:
    BootSessionTest()
    {
        if constexpr (requires(Recorder & r) { r.clock; })
            recorder.clock = [this] { return this->clock.nowMs(); };
        this->attach(&recorder);
    }

    QString writeFile(const QByteArray &bytes, const char *name = "fw.bin") { return writeTempFile(dir, bytes, name); }

    // Whether this process holds the file at `path` open: a session that has ended keeps no handle
    // on its firmware.
    static bool heldOpen(const QString &path)
    {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (canonical.isEmpty())
            return false; // no such file
        const std::filesystem::path target = canonical.toStdString();
        std::error_code error;
        for (const auto &fd : std::filesystem::directory_iterator("/proc/self/fd", error))
            if (std::filesystem::read_symlink(fd.path(), error) == target)
                return true;
        return false;
    }

    // The last event the session told, for failure messages.
    std::string lastEvent() const
    {
        if constexpr (requires(const Recorder &r) { r.events.back(); })
            return recorder.events.empty() ? std::string() : recorder.events.back();
        else
            return {};
    }

    QTemporaryDir dir;
    Recorder recorder;
};

} // namespace flashwell::test
