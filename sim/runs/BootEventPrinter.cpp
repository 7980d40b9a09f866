#include "runs/BootEventPrinter.h"

#include "device/FirmwareVersion.h"

namespace flashwell::lab {

namespace {
QString hex4(uint32_t v)
{
    return QStringLiteral("0x%1").arg(v, 4, 16, QLatin1Char('0'));
}
QString version(const SFenwykDevicePtr &device)
{
    return firmware_version::number(device ? device->version() : 0.0f);
}
} // namespace

bool BootEventPrinter::announce(const char *event)
{
    if (seen)
        seen(event);
    return sink && (!wanted || wanted());
}

void BootEventPrinter::emitEvent(const char *event, std::initializer_list<std::pair<QString, QJsonValue>> fields)
{
    QJsonObject o{{QStringLiteral("event"), QString::fromLatin1(event)}};
    for (const auto &[k, v] : fields)
        o.insert(k, v);
    sink(o);
}

void BootEventPrinter::SHIDBootRemoveDevice(const SFenwykDevicePtr &, SHIDManager *)
{
    if (announce("SHIDBootRemoveDevice"))
        emitEvent("SHIDBootRemoveDevice");
}

void BootEventPrinter::SHIDBootGetVersion(const SFenwykDevicePtr &device, SHIDManager *)
{
    if (announce("SHIDBootGetVersion"))
        emitEvent("SHIDBootGetVersion",
                  {{QStringLiteral("version"), version(device)}, {QStringLiteral("beta"), device ? device->beta : 0}});
}

void BootEventPrinter::SHIDBootGetFirmwaerType(uint32_t type, SHIDManager *)
{
    if (announce("SHIDBootGetFirmwaerType"))
        emitEvent("SHIDBootGetFirmwaerType", {{QStringLiteral("firmwareType"), static_cast<qint64>(type)}});
}

void BootEventPrinter::SHIDBootStartUpdate(SHIDManager *)
{
    if (announce("SHIDBootStartUpdate"))
        emitEvent("SHIDBootStartUpdate");
}

void BootEventPrinter::SHIDBootStartUpdateing(int32_t progress, SHIDManager *)
{
    if (announce("SHIDBootStartUpdateing"))
        emitEvent("SHIDBootStartUpdateing", {{QStringLiteral("progress"), progress}});
}

void BootEventPrinter::SHIDBootStartUpdateed(SHIDManager *)
{
    if (announce("SHIDBootStartUpdateed"))
        emitEvent("SHIDBootStartUpdateed");
}

void BootEventPrinter::SHIDBootNotSupportFirmware(SHIDManager *)
{
    if (announce("SHIDBootNotSupportFirmware"))
        emitEvent("SHIDBootNotSupportFirmware");
}

void BootEventPrinter::SHIDBootErrorString(SHIDManager *, const QString &msg)
{
    if (announce("SHIDBootErrorString"))
        emitEvent("SHIDBootErrorString", {{QStringLiteral("message"), msg}});
}

void BootEventPrinter::SHIDBootErrorNOEqualPID(SHIDManager *, uint32_t gamepadType, uint32_t pid)
{
    if (announce("SHIDBootErrorNOEqualPID"))
        emitEvent("SHIDBootErrorNOEqualPID", {{QStringLiteral("gamepadType"), static_cast<qint64>(gamepadType)},
                                              {QStringLiteral("pid"), static_cast<qint64>(pid)}});
}

void BootEventPrinter::SHIDBootAddDevice(const SFenwykDevicePtr &device, SHIDManager *)
{
    if (announce("SHIDBootAddDevice"))
        emitEvent("SHIDBootAddDevice", {{QStringLiteral("pid"), hex4(device ? device->pid : 0)},
                                        {QStringLiteral("vid"), hex4(device ? device->vid : 0)}});
}

void BootEventPrinter::SHIDBootHJZUpdate(SHIDBootHJZ *, const SFenwykDevicePtr &device)
{
    if (announce("SHIDBootHJZUpdate"))
        emitEvent("SHIDBootHJZUpdate", {{QStringLiteral("pid"), hex4(device ? device->pid : 0)},
                                        {QStringLiteral("vid"), hex4(device ? device->vid : 0)}});
}

void BootEventPrinter::SHIDBootHJZGetVersion(const SFenwykDevicePtr &device)
{
    if (announce("SHIDBootHJZGetVersion"))
        emitEvent("SHIDBootHJZGetVersion", {{QStringLiteral("version"), version(device)}});
}

void BootEventPrinter::SHIDBootHJZUpdateing(SHIDBootHJZ *, int32_t progress)
{
    if (announce("SHIDBootHJZUpdateing"))
        emitEvent("SHIDBootHJZUpdateing", {{QStringLiteral("progress"), progress}});
}

void BootEventPrinter::SHIDBootHJZUpdateSuccess(SHIDBootHJZ *)
{
    if (announce("SHIDBootHJZUpdateSuccess"))
        emitEvent("SHIDBootHJZUpdateSuccess");
}

void BootEventPrinter::SHIDBootHJZUpdateFail(SHIDBootHJZ *, const QString &msg)
{
    if (announce("SHIDBootHJZUpdateFail"))
        emitEvent("SHIDBootHJZUpdateFail", {{QStringLiteral("message"), msg}});
}

} // namespace flashwell::lab
