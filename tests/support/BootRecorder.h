#pragma once

#include "boot/SHIDBootDelegate.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace flashwell::test {

// Records every bootloader callback as a short text ("progress 50", "error <msg>"), in order.
class BootRecorder final : public QObject, public SHIDBootDelegate
{
public:
    void SHIDBootRemoveDevice(const SFenwykDevicePtr &d, SHIDManager *) override
    {
        log(d ? "remove record" : "remove");
    }
    void SHIDBootGetVersion(const SFenwykDevicePtr &d, SHIDManager *) override
    {
        lastVersion = d;
        log("version " + QString::asprintf("%.2f", static_cast<double>(d->version())).toStdString() + " beta "
            + std::to_string(d->beta));
    }
    void SHIDBootGetFirmwaerType(uint32_t type, SHIDManager *) override { log("type " + std::to_string(type)); }
    void SHIDBootStartUpdate(SHIDManager *) override { log("start"); }
    void SHIDBootStartUpdateing(int32_t p, SHIDManager *) override { log("progress " + std::to_string(p)); }
    void SHIDBootStartUpdateed(SHIDManager *) override { log("done"); }
    void SHIDBootNotSupportFirmware(SHIDManager *) override { log("not supported"); }
    void SHIDBootErrorString(SHIDManager *, const QString &msg) override
    {
        lastError = msg;
        log("error");
    }
    void SHIDBootErrorNOEqualPID(SHIDManager *, uint32_t a, uint32_t b) override
    {
        log("wrong pid " + std::to_string(a) + " " + std::to_string(b));
    }
    void SHIDBootAddDevice(const SFenwykDevicePtr &d, SHIDManager *) override
    {
        lastAdded = d;
        log("add");
        if (onAdd)
            onAdd(d);
    }

    bool has(const std::string &event) const
    {
        for (const auto &e : events)
            if (e == event)
                return true;
        return false;
    }
    bool ended() const { return has("done") || has("error") || has("not supported"); }

    std::vector<std::string> events;
    std::vector<int64_t> times;
    SFenwykDevicePtr lastAdded;
    SFenwykDevicePtr lastVersion;
    QString lastError;
    std::function<int64_t()> clock;
    // Plays the update screen's part on arrival (the version query that starts a classic update).
    std::function<void(const SFenwykDevicePtr &)> onAdd;

private:
    void log(const std::string &e)
    {
        events.push_back(e);
        times.push_back(clock ? clock() : 0);
    }
};

} // namespace flashwell::test
