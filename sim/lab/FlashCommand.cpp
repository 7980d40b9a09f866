#include "lab/FlashCommand.h"

#include "LabFlashRun.h"
#include "lab/JsonLines.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <optional>

namespace flashwell::lab {

namespace {

struct Options
{
    QString bootloader;
    bool usbPidGiven = false;
    QString dumpFlash;
    LabFlashOptions run;
};

int usageError(const QString &message)
{
    std::fprintf(stderr, "flashwell-lab flash: %s\n", qPrintable(message));
    return 2;
}

std::optional<uint32_t> number(const QString &text, int base)
{
    bool ok = false;
    QString t = text;
    if (base == 16 && (t.startsWith(QLatin1String("0x")) || t.startsWith(QLatin1String("0X"))))
        t = t.mid(2);
    const uint32_t v = t.toUInt(&ok, base);
    return ok ? std::optional<uint32_t>(v) : std::nullopt;
}

// Parses the arguments; returns an error text, empty on success.
QString parse(const QStringList &args, Options &o)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        auto hexValue = [&](uint32_t max) -> std::optional<uint32_t> {
            const auto v = value();
            const auto n = v ? number(*v, 16) : std::nullopt;
            return n && *n <= max ? n : std::nullopt;
        };
        auto decValue = [&](uint32_t max) -> std::optional<uint32_t> {
            const auto v = value();
            const auto n = v ? number(*v, 10) : std::nullopt;
            return n && *n <= max ? n : std::nullopt;
        };
        if (a == QLatin1String("--bootloader")) {
            const auto v = value();
            if (!v)
                return QStringLiteral("--bootloader needs a value");
            o.bootloader = *v;
        } else if (a == QLatin1String("--file")) {
            const auto v = value();
            if (!v)
                return QStringLiteral("--file needs a path");
            o.run.file = *v;
        } else if (a == QLatin1String("--usb-pid") || a == QLatin1String("--usb-vid")
                   || a == QLatin1String("--boot-version")) {
            const auto n = hexValue(0xFFFF);
            if (!n)
                return QStringLiteral("%1 needs a 16-bit hex number").arg(a);
            o.usbPidGiven = o.usbPidGiven || a == QLatin1String("--usb-pid");
            (a == QLatin1String("--usb-pid")   ? o.run.pid
             : a == QLatin1String("--usb-vid") ? o.run.vid
                                               : o.run.bootVersion) = static_cast<uint16_t>(*n);
        } else if (a == QLatin1String("--reported-pid")) {
            const auto n = hexValue(0xFFFF);
            if (!n)
                return QStringLiteral("--reported-pid needs a 16-bit hex number");
            o.run.reportedPid = static_cast<uint16_t>(*n);
        } else if (a == QLatin1String("--app-zone")) {
            const auto n = hexValue(0xFFFFFFFF);
            if (!n)
                return QStringLiteral("--app-zone needs a hex number");
            o.run.appZone = *n;
        } else if (a == QLatin1String("--erase-unit")) {
            const auto n = decValue(0xFFFFFFFF);
            if (!n)
                return QStringLiteral("--erase-unit needs a number");
            o.run.eraseUnit = *n;
        } else if (a == QLatin1String("--dev-id")) {
            const auto n = decValue(0xFFFFFFFF);
            if (!n || (*n != 386 && *n != 387))
                return QStringLiteral("--dev-id is 386 or 387");
            o.run.devId = *n;
        } else if (a == QLatin1String("--info-pid")) {
            const auto n = hexValue(0xFFFF);
            if (!n)
                return QStringLiteral("--info-pid needs a 16-bit hex number");
            o.run.infoPid = static_cast<uint16_t>(*n);
        } else if (a == QLatin1String("--info-subtype")) {
            const auto n = decValue(255);
            if (!n)
                return QStringLiteral("--info-subtype needs a number from 0 to 255");
            o.run.subType = static_cast<uint8_t>(*n);
        } else if (a == QLatin1String("--hw-code") || a == QLatin1String("--fw-type")) {
            const auto n = decValue(255);
            if (!n)
                return QStringLiteral("%1 needs a number from 0 to 255").arg(a);
            (a == QLatin1String("--hw-code") ? o.run.hwCode : o.run.fwType) = static_cast<uint8_t>(*n);
        } else if (a == QLatin1String("--receiver-settings")) {
            o.run.receiverSettings = true;
        } else if (a == QLatin1String("--dump-flash")) {
            const auto v = value();
            if (!v)
                return QStringLiteral("--dump-flash needs a path");
            o.dumpFlash = *v;
        } else if (a == QLatin1String("--fault")) {
            const auto v = value();
            const QStringList parts = v ? v->split(QLatin1Char(':')) : QStringList();
            const auto n = parts.size() == 2 ? number(parts[1], 10) : std::nullopt;
            if (!n || *n == 0)
                return QStringLiteral("--fault takes KIND:N with N >= 1");
            const int count = static_cast<int>(*n);
            if (parts[0] == QLatin1String("drop-reply"))
                o.run.dropReply = count;
            else if (parts[0] == QLatin1String("corrupt-write"))
                o.run.corruptWrite = count;
            else if (parts[0] == QLatin1String("unplug-after"))
                o.run.unplugAfter = count;
            else if (parts[0] == QLatin1String("fail-send"))
                o.run.failSend = count;
            else
                return QStringLiteral("unknown fault %1 (drop-reply, corrupt-write, unplug-after, fail-send)")
                    .arg(parts[0]);
        } else {
            return QStringLiteral("unknown option %1").arg(a);
        }
    }
    if (o.bootloader == QLatin1String("classic"))
        o.run.bootloader = LabBootloader::Classic;
    else if (o.bootloader == QLatin1String("second-gen"))
        o.run.bootloader = LabBootloader::SecondGen;
    else if (o.bootloader == QLatin1String("hjz"))
        o.run.bootloader = LabBootloader::Hjz;
    else
        return o.bootloader.isEmpty()
                   ? QStringLiteral("--bootloader is required (classic, second-gen, hjz)")
                   : QStringLiteral("unknown bootloader %1 (classic, second-gen, hjz)").arg(o.bootloader);
    if (o.run.file.isEmpty())
        return QStringLiteral("--file is required");
    if (o.run.bootloader == LabBootloader::Hjz)
        return {};
    if (o.run.bootloader == LabBootloader::SecondGen) {
        if (o.usbPidGiven) {
            if (o.run.pid != 0x3208 && o.run.pid != 0x3002)
                return QStringLiteral("a second-generation bootloader is USB 0x3208 or 0x3002");
            o.run.usbPid = o.run.pid;
        }
        return {};
    }
    const bool classicIdentity = (o.run.vid == 0x2DC8 && (o.run.pid == 0x5750 || o.run.pid == 0x3206))
                                 || (o.run.vid == 0x0483 && (o.run.pid == 0x5750 || o.run.pid == 0x5760));
    if (!classicIdentity)
        return QStringLiteral("0x%1/0x%2 is not a classic bootloader identity")
            .arg(o.run.pid, 4, 16, QLatin1Char('0'))
            .arg(o.run.vid, 4, 16, QLatin1Char('0'));
    return {};
}

} // namespace

int runFlash(const QStringList &args)
{
    Options o;
    if (const QString error = parse(args, o); !error.isEmpty())
        return usageError(error);
    QFile probe(o.run.file);
    if (!probe.open(QIODevice::ReadOnly))
        return usageError(QStringLiteral("cannot read %1: %2").arg(o.run.file, probe.errorString()));
    probe.close();

    // The run is torn down before the result line, so whatever its end still causes (the
    // device leaving, a reset) is printed before it, never after.
    FlashRunResult result;
    QJsonObject dump;
    {
        LabFlashRun flash(o.run);
        flash.onEvent = [](const QJsonObject &event) { printJsonLine(event); };
        result = flash.run();
        if (!o.dumpFlash.isEmpty())
            dump = flash.flashDump();
    }
    bool dumpWritten = true;
    if (!o.dumpFlash.isEmpty()) {
        QFile out(o.dumpFlash);
        dumpWritten = out.open(QIODevice::WriteOnly | QIODevice::Truncate)
                      && out.write(QJsonDocument(dump).toJson(QJsonDocument::Compact) + '\n') >= 0;
        if (!dumpWritten)
            usageError(QStringLiteral("cannot write %1").arg(o.dumpFlash));
    }
    printResultLine(
        QJsonObject{{QStringLiteral("result"), result.success ? QStringLiteral("success") : QStringLiteral("failed")},
                    {QStringLiteral("message"), result.message},
                    {QStringLiteral("reports_out"), static_cast<qint64>(result.reportsOut)},
                    {QStringLiteral("virtual_ms"), static_cast<qint64>(result.virtualMs)}});
    if (!dumpWritten)
        return 2;
    return result.success ? 0 : 1;
}

} // namespace flashwell::lab
