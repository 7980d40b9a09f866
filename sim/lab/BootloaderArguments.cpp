#include "lab/BootloaderArguments.h"
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

bool BootloaderArguments::take(const QStringList &args, int &i, QString &error)
{
    const QString &a = args[i];
    auto value = [&]() -> std::optional<QString> {
        if (i + 1 >= args.size())
            return std::nullopt;
        return args[++i];
    };
    auto numberValue = [&](int base, uint32_t max) -> std::optional<uint32_t> {
        const auto v = value();
        const auto n = v ? parseNumber(*v, base) : std::nullopt;
        return n && *n <= max ? n : std::nullopt;
    };
    auto hexValue = [&](uint32_t max) { return numberValue(16, max); };
    auto decValue = [&](uint32_t max) { return numberValue(10, max); };

    if (a == QLatin1String("--bootloader")) {
        const auto v = value();
        if (!v)
            error = QStringLiteral("--bootloader needs a value");
        else
            m_bootloader = *v;
    } else if (a == QLatin1String("--usb-pid") || a == QLatin1String("--usb-vid")
               || a == QLatin1String("--boot-version")) {
        const auto n = hexValue(0xFFFF);
        if (!n) {
            error = QStringLiteral("%1 needs a 16-bit hex number").arg(a);
            return true;
        }
        m_usbPidGiven = m_usbPidGiven || a == QLatin1String("--usb-pid");
        (a == QLatin1String("--usb-pid")   ? m_o.pid
         : a == QLatin1String("--usb-vid") ? m_o.vid
                                           : m_o.bootVersion) = static_cast<uint16_t>(*n);
    } else if (a == QLatin1String("--reported-pid") || a == QLatin1String("--info-pid")) {
        const auto n = hexValue(0xFFFF);
        if (!n) {
            error = QStringLiteral("%1 needs a 16-bit hex number").arg(a);
            return true;
        }
        if (a == QLatin1String("--reported-pid")) {
            m_o.reportedPid = static_cast<uint16_t>(*n);
            m_reportedPidGiven = true;
        } else {
            m_o.infoPid = static_cast<uint16_t>(*n);
        }
    } else if (a == QLatin1String("--hw-code") || a == QLatin1String("--fw-type")
               || a == QLatin1String("--info-subtype")) {
        const auto n = decValue(255);
        if (!n) {
            error = QStringLiteral("%1 needs a number from 0 to 255").arg(a);
            return true;
        }
        (a == QLatin1String("--hw-code")   ? m_o.hwCode
         : a == QLatin1String("--fw-type") ? m_o.fwType
                                           : m_o.subType) = static_cast<uint8_t>(*n);
    } else if (a == QLatin1String("--app-zone")) {
        const auto n = hexValue(0xFFFFFFFF);
        if (!n)
            error = QStringLiteral("--app-zone needs a hex number");
        else
            m_o.appZone = *n;
    } else if (a == QLatin1String("--erase-unit")) {
        const auto n = decValue(0xFFFFFFFF);
        if (!n)
            error = QStringLiteral("--erase-unit needs a number");
        else
            m_o.eraseUnit = *n;
    } else if (a == QLatin1String("--dev-id")) {
        const auto n = decValue(0xFFFFFFFF);
        if (!n || (*n != 386 && *n != 387))
            error = QStringLiteral("--dev-id is 386 or 387");
        else
            m_o.devId = *n;
    } else if (a == QLatin1String("--receiver-settings")) {
        m_o.receiverSettings = true;
    } else if (a == QLatin1String("--dump-flash")) {
        const auto v = value();
        if (!v)
            error = QStringLiteral("--dump-flash needs a path");
        else
            m_dumpFlash = *v;
    } else if (a == QLatin1String("--fault")) {
        const auto v = value();
        const QStringList parts = v ? v->split(QLatin1Char(':')) : QStringList();
        const auto n = parts.size() == 2 ? parseNumber(parts[1], 10) : std::nullopt;
        if (!n || *n == 0 || *n > kMaxFaultCount) {
            error = QStringLiteral("--fault takes KIND:N with N >= 1");
            return true;
        }
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
            error =
                QStringLiteral("unknown fault %1 (drop-reply, corrupt-write, unplug-after, fail-send)").arg(parts[0]);
    } else {
        return false;
    }
    return true;
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
