#include "cli/SupportReport.h"

#include "device/SFenwykDeviceDetailsTools.h"
#include "device/UsbIdentities.h"
#include "net/ServerConfig.h"
#include "platform/HidApiBackend.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSysInfo>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace flashwell::cli {

namespace {

QString hex4(uint16_t v)
{
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0'));
}

// HID_ID=0003:00002DC8:00003011 and HID_NAME=… from the node's uevent.
void readUevent(const QString &path, SupportReport::Node &node)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("HID_ID=")) {
            const QList<QByteArray> parts = line.mid(7).split(':');
            if (parts.size() == 3) {
                node.vendorId = static_cast<uint16_t>(parts[1].toUInt(nullptr, 16));
                node.productId = static_cast<uint16_t>(parts[2].toUInt(nullptr, 16));
            }
        } else if (line.startsWith("HID_NAME=")) {
            node.hidName = QString::fromUtf8(line.mid(9)).trimmed();
        }
    }
}

QString productOf(uint16_t vid, uint16_t pid)
{
    auto among = [&](std::span<const HidMatch> identities) {
        return std::any_of(identities.begin(), identities.end(),
                           [&](const HidMatch &i) { return usb::is(i, pid, vid); });
    };
    if (among(usb::kClassicBootloaders))
        return QStringLiteral("classic bootloader");
    if (among(usb::kSecondGenBootloaders))
        return QStringLiteral("second-generation bootloader");
    if (usb::is(usb::kHjzBootloader, pid, vid))
        return QStringLiteral("HJZ bootloader");
    for (const SFenwykDataDetailsPtr &entry : SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs()) {
        if (entry && entry->pid == pid && entry->vid == vid)
            return entry->name();
    }
    if (usb::is(usb::kSwitchPro, pid, vid) || usb::is(usb::kSony, pid, vid) || usb::is(usb::kXinput, pid, vid))
        return QStringLiteral("a controller in a borrowed identity (Switch, Sony or X-input mode)");
    return {};
}

void explainOpenFailure(SupportReport::Node &node)
{
    node.problem = QString::fromLocal8Bit(std::strerror(node.error));
    switch (node.error) {
    case EACCES:
    case EPERM:
        node.fix = QStringLiteral("install the udev rules (70-flashwell.rules, see the README) and re-plug the device");
        break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        node.fix = QStringLiteral("the node is gone or not ready yet: re-plug the device");
        break;
    case EBUSY:
        node.fix = QStringLiteral("another program holds the device: close it and try again");
        break;
    default:
        node.fix = QStringLiteral("re-plug the device; if that does not help, attach this report");
        break;
    }
}

QString sessionType()
{
    const QByteArray type = qgetenv("XDG_SESSION_TYPE");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    const QByteArray x11 = qgetenv("DISPLAY");
    QString kind = QString::fromLocal8Bit(type);
    if (kind.isEmpty())
        kind = !wayland.isEmpty() ? QStringLiteral("wayland")
               : !x11.isEmpty()   ? QStringLiteral("x11")
                                  : QStringLiteral("unknown");
    QStringList seen;
    if (!type.isEmpty())
        seen << QStringLiteral("XDG_SESSION_TYPE=%1").arg(QString::fromLocal8Bit(type));
    if (!wayland.isEmpty())
        seen << QStringLiteral("WAYLAND_DISPLAY=%1").arg(QString::fromLocal8Bit(wayland));
    if (!x11.isEmpty())
        seen << QStringLiteral("DISPLAY=%1").arg(QString::fromLocal8Bit(x11));
    return seen.isEmpty() ? kind : QStringLiteral("%1 (%2)").arg(kind, seen.join(QStringLiteral(", ")));
}

SupportReport::Check checkLogind(int timeoutMs)
{
    SupportReport::Check c{QStringLiteral("logind"), false, {}};
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        c.detail = QStringLiteral("no system bus: %1").arg(bus.lastError().message());
        return c;
    }
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    const QDBusMessage reply = bus.call(ping, QDBus::Block, timeoutMs);
    c.ok = reply.type() == QDBusMessage::ReplyMessage;
    c.detail = c.ok ? QStringLiteral("answers") : reply.errorMessage();
    return c;
}

SupportReport::Check checkServer(int timeoutMs)
{
    const QUrl url = ServerConfig::current().primary;
    SupportReport::Check c{url.toString(), false, {}};
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = network.head(request);
    QEventLoop loop;
    QTimer::singleShot(timeoutMs + 500, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!reply->isFinished()) {
        reply->abort();
        c.detail = QStringLiteral("no answer within %1 s").arg(timeoutMs / 1000);
    } else if (status.isValid()) {
        c.ok = true;
        c.detail = QStringLiteral("answers (HTTP %1)").arg(status.toInt());
    } else {
        c.detail = reply->errorString();
    }
    reply->deleteLater();
    return c;
}

} // namespace

SupportReport SupportReport::gather(const Options &options)
{
    SupportReport r;
    r.application = QStringLiteral("Fenwyk Flashwell %1").arg(QStringLiteral(FLASHWELL_VERSION));
    r.qtVersion = QString::fromLatin1(qVersion());
    r.hidapiVersion = HidApiBackend::libraryVersion();
    r.system = QSysInfo::prettyProductName();
    r.kernel = QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion();
    r.session = sessionType();

    QDir hidraw(options.sysClassHidraw);
    QStringList names = hidraw.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    // hidraw10 after hidraw9.
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return a.size() != b.size() ? a.size() < b.size() : a < b; });
    for (const QString &name : names) {
        Node node;
        node.name = name;
        readUevent(hidraw.filePath(name + QStringLiteral("/device/uevent")), node);
        node.product = productOf(node.vendorId, node.productId);
        const QByteArray path = QDir(options.dev).filePath(name).toLocal8Bit();
        const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            node.opens = true;
            ::close(fd);
        } else {
            node.error = errno;
            explainOpenFailure(node);
        }
        r.nodes.append(node);
    }

    r.rules.what = QStringLiteral("udev rules");
    for (const QString &file : options.rulesFiles) {
        if (QFileInfo::exists(file)) {
            r.rules.ok = true;
            r.rules.detail = file;
            break;
        }
    }
    if (!r.rules.ok)
        r.rules.detail =
            QStringLiteral("not installed (looked for %1)").arg(options.rulesFiles.join(QStringLiteral(", ")));
    r.logind = checkLogind(options.logindTimeoutMs);
    r.server = checkServer(options.serverTimeoutMs);
    return r;
}

QString SupportReport::text() const
{
    QStringList lines;
    lines << QStringLiteral("%1 (Qt %2, hidapi %3)").arg(application, qtVersion, hidapiVersion);
    lines << QStringLiteral("System: %1, %2").arg(system, kernel);
    lines << QStringLiteral("Session: %1").arg(session);
    lines << QStringLiteral("udev rules: %1")
                 .arg(rules.ok ? QStringLiteral("installed (%1)").arg(rules.detail) : rules.detail);
    lines << QStringLiteral("logind: %1")
                 .arg(logind.ok ? logind.detail : QStringLiteral("does not answer (%1)").arg(logind.detail));
    lines << QStringLiteral("Firmware server %1: %2")
                 .arg(server.what,
                      server.ok ? server.detail : QStringLiteral("does not answer (%1)").arg(server.detail));
    lines << QStringLiteral("HID devices (%1):").arg(nodes.size());
    for (const Node &n : nodes) {
        QString line = QStringLiteral("  %1  %2:%3  %4").arg(n.name, hex4(n.vendorId), hex4(n.productId), n.hidName);
        if (!n.product.isEmpty())
            line += QStringLiteral("  [%1]").arg(n.product);
        line +=
            n.opens ? QStringLiteral("  opens") : QStringLiteral("  cannot be opened: %1 - %2").arg(n.problem, n.fix);
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

QJsonObject SupportReport::json() const
{
    QJsonArray array;
    for (const Node &n : nodes) {
        QJsonObject o{{QStringLiteral("node"), n.name},           {QStringLiteral("vid"), hex4(n.vendorId)},
                      {QStringLiteral("pid"), hex4(n.productId)}, {QStringLiteral("name"), n.hidName},
                      {QStringLiteral("product"), n.product},     {QStringLiteral("opens"), n.opens}};
        if (!n.opens) {
            o.insert(QStringLiteral("errno"), n.error);
            o.insert(QStringLiteral("problem"), n.problem);
            o.insert(QStringLiteral("fix"), n.fix);
        }
        array.append(o);
    }
    auto check = [](const Check &c) {
        return QJsonObject{{QStringLiteral("ok"), c.ok}, {QStringLiteral("detail"), c.detail}};
    };
    QJsonObject serverJson = check(server);
    serverJson.insert(QStringLiteral("url"), server.what);
    return QJsonObject{{QStringLiteral("application"), application}, {QStringLiteral("qt"), qtVersion},
                       {QStringLiteral("hidapi"), hidapiVersion},    {QStringLiteral("system"), system},
                       {QStringLiteral("kernel"), kernel},           {QStringLiteral("session"), session},
                       {QStringLiteral("udev_rules"), check(rules)}, {QStringLiteral("logind"), check(logind)},
                       {QStringLiteral("server"), serverJson},       {QStringLiteral("hidraw"), array}};
}

} // namespace flashwell::cli
