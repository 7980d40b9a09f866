#include "commands/BootloaderArguments.h"
#include "device/UsbIdentities.h"

#include <algorithm>

namespace flashwell::lab {

namespace {
// A fault count is an int in the run; larger counts would never be reached anyway.
constexpr uint32_t kMaxFaultCount = 1000000;
} // namespace

std::optional<uint32_t> parseNumber(const QString &text, int base)
{
    bool ok = false;
    QString t = text;
    if (base == 16 && (t.startsWith(QLatin1String("0x")) || t.startsWith(QLatin1String("0X"))))
        t = t.mid(2);
    const uint32_t v = t.toUInt(&ok, base);
    return ok ? std::optional<uint32_t>(v) : std::nullopt;
}

void BootloaderArguments::addTo(CommandLine &line)
{
    // A missing value is reported as a wrong one.
    auto number = [&line](const char *name, int base, uint32_t max, const QString &why, auto store) {
        line.value(
            {QLatin1String(name)},
            [=](const QString &value) {
                const auto n = parseNumber(value, base);
                if (!n || *n > max)
                    return why;
                store(*n);
                return QString();
            },
            why);
    };
    // `given`, when there is one, learns that the option was given.
    auto hex16 = [&number](const char *name, auto &field, bool *given = nullptr) {
        number(name, 16, 0xFFFF, QStringLiteral("%1 needs a 16-bit hex number").arg(QLatin1String(name)),
               [&field, given](uint32_t n) {
                   field = static_cast<uint16_t>(n);
                   if (given)
                       *given = true;
               });
    };
    hex16("--usb-pid", m_o.pid, &m_usbPidGiven);
    hex16("--usb-vid", m_o.vid);
    hex16("--boot-version", m_o.bootVersion);
    hex16("--reported-pid", m_o.reportedPid, &m_reportedPidGiven);
    hex16("--info-pid", m_o.infoPid);
    auto byte = [&number](const char *name, uint8_t &field) {
        number(name, 10, 255, QStringLiteral("%1 needs a number from 0 to 255").arg(QLatin1String(name)),
               [&field](uint32_t n) { field = static_cast<uint8_t>(n); });
    };
    byte("--hw-code", m_o.hwCode);
    byte("--fw-type", m_o.fwType);
    byte("--info-subtype", m_o.subType);
    number("--app-zone", 16, 0xFFFFFFFF, QStringLiteral("--app-zone needs a hex number"),
           [this](uint32_t n) { m_o.appZone = n; });
    number("--erase-unit", 10, 0xFFFFFFFF, QStringLiteral("--erase-unit needs a number"),
           [this](uint32_t n) { m_o.eraseUnit = n; });
    line.value(
        {QStringLiteral("--dev-id")},
        [this](const QString &value) {
            const auto n = parseNumber(value, 10);
            if (!n || (*n != 386 && *n != 387))
                return QStringLiteral("--dev-id is 386 or 387");
            m_o.devId = *n;
            return QString();
        },
        QStringLiteral("--dev-id is 386 or 387"));

    line.value({QStringLiteral("--bootloader")}, CommandLine::into(m_bootloader),
               QStringLiteral("--bootloader needs a value"))
        .flag({QStringLiteral("--receiver-settings")}, [this] { m_o.receiverSettings = true; })
        .value({QStringLiteral("--dump-flash")}, CommandLine::into(m_dumpFlash),
               QStringLiteral("--dump-flash needs a path"))
        .value(
            {QStringLiteral("--fault")}, [this](const QString &value) { return takeFault(value); },
            QStringLiteral("--fault takes KIND:N with N >= 1"));
}

QString BootloaderArguments::takeFault(const QString &value)
{
    const QStringList parts = value.split(QLatin1Char(':'));
    const auto n = parts.size() == 2 ? parseNumber(parts[1], 10) : std::nullopt;
    if (!n || *n == 0 || *n > kMaxFaultCount)
        return QStringLiteral("--fault takes KIND:N with N >= 1");
    const int count = static_cast<int>(*n);
    if (parts[0] == QLatin1String("drop-reply"))
        m_o.dropReply = count;
    else if (parts[0] == QLatin1String("corrupt-write"))
        m_o.corruptWrite = count;
    else if (parts[0] == QLatin1String("unplug-after"))
        m_o.unplugAfter = count;
    else if (parts[0] == QLatin1String("fail-send"))
        m_o.failSend = count;
    else
        return QStringLiteral("unknown fault %1 (drop-reply, corrupt-write, unplug-after, fail-send)").arg(parts[0]);
    return {};
}

QString BootloaderArguments::finish()
{
    if (m_bootloader == QLatin1String("classic"))
        m_o.bootloader = LabBootloader::Classic;
    else if (m_bootloader == QLatin1String("second-gen"))
        m_o.bootloader = LabBootloader::SecondGen;
    else if (m_bootloader == QLatin1String("hjz"))
        m_o.bootloader = LabBootloader::Hjz;
    else
        return m_bootloader.isEmpty()
                   ? QStringLiteral("--bootloader is required (classic, second-gen, hjz)")
                   : QStringLiteral("unknown bootloader %1 (classic, second-gen, hjz)").arg(m_bootloader);
    if (m_o.bootloader == LabBootloader::SecondGen) {
        if (m_usbPidGiven) {
            if (!usb::is(usb::kSecondGenBootloader, m_o.pid, usb::kVendorId)
                && !usb::is(usb::kSecondGenBootloaderAlt, m_o.pid, usb::kVendorId))
                return QStringLiteral("a second-generation bootloader is USB 0x3208 or 0x3002");
            m_o.usbPid = m_o.pid;
        }
    } else if (m_o.bootloader == LabBootloader::Classic) {
        const bool classicIdentity = std::any_of(usb::kClassicBootloaders.begin(), usb::kClassicBootloaders.end(),
                                                 [&](const HidMatch &m) { return usb::is(m, m_o.pid, m_o.vid); });
        if (!classicIdentity)
            return QStringLiteral("0x%1/0x%2 is not a classic bootloader identity")
                .arg(m_o.pid, 4, 16, QLatin1Char('0'))
                .arg(m_o.vid, 4, 16, QLatin1Char('0'));
    }
    return {};
}

} // namespace flashwell::lab
