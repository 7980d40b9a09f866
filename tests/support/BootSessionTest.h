#pragma once

#include "rigs/SessionRig.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/BootRecorder.h"
#include "support/TestSupport.h"

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
