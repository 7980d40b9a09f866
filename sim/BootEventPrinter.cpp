#include "BootEventPrinter.h"

namespace flashwell::lab {

namespace {
QString hex4(uint32_t v)
{
    return QStringLiteral("0x%1").arg(v, 4, 16, QLatin1Char('0'));
}
QString version(const SFenwykDevicePtr &device)
{
    return QString::asprintf("%.2f", device ? static_cast<double>(device->version()) : 0.0);
}
} // namespace

void BootEventPrinter::emitEvent(std::initializer_list<std::pair<QString, QJsonValue>> fields)
{
    QJsonObject o;
    for (const auto &[k, v] : fields)
        o.insert(k, v);
    if (sink)
        sink(o);
}

void BootEventPrinter::SHIDBootRemoveDevice(const SFenwykDevicePtr &, SHIDManager *)
{
    emitEvent({{"event", "SHIDBootRemoveDevice"}});
}

void BootEventPrinter::SHIDBootGetVersion(const SFenwykDevicePtr &device, SHIDManager *)
{
    emitEvent({{"event", "SHIDBootGetVersion"}, {"version", version(device)}, {"beta", device ? device->beta : 0}});
}

void BootEventPrinter::SHIDBootGetFirmwaerType(uint32_t type, SHIDManager *)
{
    emitEvent({{"event", "SHIDBootGetFirmwaerType"}, {"firmwareType", static_cast<qint64>(type)}});
}

void BootEventPrinter::SHIDBootStartUpdate(SHIDManager *)
{
    emitEvent({{"event", "SHIDBootStartUpdate"}});
}

void BootEventPrinter::SHIDBootStartUpdateing(int32_t progress, SHIDManager *)
{
    emitEvent({{"event", "SHIDBootStartUpdateing"}, {"progress", progress}});
}

void BootEventPrinter::SHIDBootStartUpdateed(SHIDManager *)
{
    emitEvent({{"event", "SHIDBootStartUpdateed"}});
}

void BootEventPrinter::SHIDBootNotSupportFirmware(SHIDManager *)
{
    emitEvent({{"event", "SHIDBootNotSupportFirmware"}});
}

void BootEventPrinter::SHIDBootErrorString(SHIDManager *, const QString &msg)
{
    emitEvent({{"event", "SHIDBootErrorString"}, {"message", msg}});
}

void BootEventPrinter::SHIDBootErrorNOEqualPID(SHIDManager *, uint32_t gamepadType, uint32_t pid)
{
    emitEvent({{"event", "SHIDBootErrorNOEqualPID"},
               {"gamepadType", static_cast<qint64>(gamepadType)},
               {"pid", static_cast<qint64>(pid)}});
}

void BootEventPrinter::SHIDBootAddDevice(const SFenwykDevicePtr &device, SHIDManager *)
{
    emitEvent({{"event", "SHIDBootAddDevice"},
               {"pid", hex4(device ? device->pid : 0)},
               {"vid", hex4(device ? device->vid : 0)}});
}

void BootEventPrinter::SHIDBootHJZUpdate(SHIDBootHJZ *, const SFenwykDevicePtr &device)
{
    emitEvent({{"event", "SHIDBootHJZUpdate"},
               {"pid", hex4(device ? device->pid : 0)},
               {"vid", hex4(device ? device->vid : 0)}});
}

void BootEventPrinter::SHIDBootHJZGetVersion(const SFenwykDevicePtr &device)
{
    emitEvent({{"event", "SHIDBootHJZGetVersion"}, {"version", version(device)}});
}

void BootEventPrinter::SHIDBootHJZUpdateSuccess(SHIDBootHJZ *)
{
    emitEvent({{"event", "SHIDBootHJZUpdateSuccess"}});
}

void BootEventPrinter::SHIDBootHJZUpdateFail(SHIDBootHJZ *, const QString &msg)
{
    emitEvent({{"event", "SHIDBootHJZUpdateFail"}, {"message", msg}});
}

} // namespace flashwell::lab
