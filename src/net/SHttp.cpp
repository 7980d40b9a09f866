#include "net/SHttp.h"

#include "device/Language.h"
#include "mapping/JsonMapping.h"
#include "net/ServerConfig.h"
#include "platform/Logging.h"
#include "platform/UserDefaults.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QSysInfo>
#include <QTemporaryFile>

#include <memory>

namespace flashwell {

namespace {

constexpr qint64 kMinimumDownload = 2000;
constexpr qint64 kDownloadBuffer = 256 * 1024;
constexpr int kSizeMismatch = 1010;
constexpr int kTooShort = 1011;
constexpr int kCacheMove = 1012;
constexpr int kBadFileName = 1013;
constexpr double kDaySeconds = 86400;
const char *const kUnknownRegion = "未识别地区";

QString &region()
{
    static QString text = SHttp::utf8ToUnicode(QString::fromUtf8(kUnknownRegion));
    return text;
}

double nowSeconds()
{
    return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

QNetworkRequest request(const QString &url, std::initializer_list<std::pair<const char *, QString>> headers)
{
    QNetworkRequest r{QUrl(url)};
    for (const auto &[name, value] : headers)
        r.setRawHeader(name, value.toUtf8());
    return r;
}

// Parses a firmware reply: the object when it is JSON with "msgState" 1, else nothing.
std::optional<QJsonObject> successfulReply(const QByteArray &body)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject object = doc.object();
    const QJsonValue state = object.value(QStringLiteral("msgState"));
    const int msgState = state.isString() ? state.toString().toInt() : state.toInt();
    if (msgState != 1)
        return std::nullopt;
    return object;
}

// Only a failure to get any response counts as a transport error: an HTTP error status with its
// page is an answer like any other, judged by its body (or, for downloads, its size).
bool transportFailed(const QNetworkReply *reply)
{
    return reply->error() != QNetworkReply::NoError
           && !reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

HttpError networkError(const QNetworkReply *reply)
{
    return {QStringLiteral("Network"), static_cast<int>(reply->error()), reply->errorString()};
}

} // namespace

QNetworkAccessManager &SHttp::network()
{
    static QNetworkAccessManager *manager = [] {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        return new QNetworkAccessManager;
    }();
    return *manager;
}

QString SHttp::baseURL()
{
    const ServerConfig config = ServerConfig::current();
    if (UserDefaults::standard().boolForKey(QStringLiteral("UserDefaults_isBeta")))
        return config.beta.toString();
    if (Language::isCurrentChinaLanguage())
        return config.china.toString();
    return config.primary.toString();
}

QString SHttp::downloadFolder()
{
    QString root = ServerConfig::current().downloadsRoot;
    if (root.isEmpty())
        root = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return QStringLiteral("%1/%2").arg(root, QStringLiteral("Fenwyk Flashwell"));
}

void SHttp::getUpdateFirmwaerWithType(int type, ListSuccess success, Failure failure)
{
    QNetworkReply *reply =
        network().post(request(baseURL() + QStringLiteral("firmware/select"),
                               {{"type", QString::asprintf("%d", type)}, {"beta", QStringLiteral("1")}}),
                       QByteArray());
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, success, failure] {
        reply->deleteLater();
        if (transportFailed(reply)) {
            if (failure)
                failure(networkError(reply));
            return;
        }
        const auto object = successfulReply(reply->readAll());
        if (!object || !success)
            return;
        const QJsonValue list = object->value(QStringLiteral("list"));
        if (!list.isArray()) {
            success(std::nullopt);
            return;
        }
        success(mapping::listFromJson<Firmware>(list.toArray()));
    });
}

void SHttp::getNewVersion(int type, float version, int beta, FirmwareSuccess success, Failure failure)
{
    Q_UNUSED(failure); // the newest release is a hint: a failure tells nobody anything
    QNetworkReply *reply = network().post(request(baseURL() + QStringLiteral("firmware/loadNewVersion"),
                                                  {{"type", QString::asprintf("%d", type)},
                                                   {"version", QString::asprintf("%lf", static_cast<double>(version))},
                                                   {"beta", QString::asprintf("%d", beta)},
                                                   {"isLoadBeta", QStringLiteral("1")}}),
                                          QByteArray());
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, success] {
        reply->deleteLater();
        if (transportFailed(reply))
            return;
        const auto object = successfulReply(reply->readAll());
        if (!object || !success)
            return;
        const QJsonArray list = object->value(QStringLiteral("list")).toArray();
        if (list.isEmpty() || !list.first().isObject())
            return;
        success(mapping::fromJson<Firmware>(list.first().toObject()));
    });
}

void SHttp::dowmFirmwaerFile(const QString &fileURL, PathSuccess success, Failure failure, int downLoadID, int maxSize)
{
    const auto fail = [failure](HttpError error) {
        qCWarning(lcDevice).noquote() << "download:" << error.description;
        if (failure)
            failure(error);
    };
    const QString fileName = QUrl(fileURL).fileName();
    if (fileName.isEmpty() || fileName == QLatin1String(".") || fileName == QLatin1String("..")) {
        fail({QStringLiteral("Download Error"), kBadFileName,
              QStringLiteral("the release's file address \"%1\" names no file").arg(fileURL)});
        return;
    }
    const QString url = baseURL() + QStringLiteral("firmwareFile/upload/") + fileName;
    const QString folder = downloadFolder();
    QDir().mkpath(folder);
    const QString localPath = QStringLiteral("%1/%2").arg(folder, fileName);

    // A cached file is used only when it is exactly the release's size; anything else is fetched again.
    if (QFileInfo(localPath).isFile() && QFileInfo(localPath).size() == maxSize) {
        if (success)
            success(localPath);
        return;
    }

    // Streamed into a temporary file beside the final one, renamed only once it passed every test,
    // so no partial file ever stands under the final name.
    auto temp = std::make_shared<QTemporaryFile>(QStringLiteral("%1/.%2.XXXXXX").arg(folder, fileName));
    if (!temp->open()) {
        fail({QStringLiteral("Download Error"), kCacheMove,
              QStringLiteral("cannot write into the download folder %1: %2").arg(folder, temp->errorString())});
        return;
    }
    QNetworkReply *reply = network().get(QNetworkRequest{QUrl(url)});
    reply->setReadBufferSize(kDownloadBuffer); // memory stays flat whatever the file's size
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, temp] { temp->write(reply->readAll()); });
    QObject::connect(reply, &QNetworkReply::finished, reply, [=] {
        reply->deleteLater();
        temp->write(reply->readAll());
        if (transportFailed(reply)) {
            fail(networkError(reply));
            return;
        }
        const QVariant stated = reply->header(QNetworkRequest::ContentLengthHeader);
        if (!stated.isValid() || stated.toLongLong() < kMinimumDownload) {
            fail({QStringLiteral("Download Error"), kTooShort,
                  stated.isValid()
                      ? QStringLiteral("download of %1 is only %2 bytes").arg(fileName).arg(stated.toLongLong())
                      : QStringLiteral("download of %1 did not state its size").arg(fileName)});
            return;
        }
        temp->flush();
        if (stated.toLongLong() != maxSize || temp->size() != maxSize) {
            fail({QStringLiteral("Download Error"), kSizeMismatch,
                  QStringLiteral("download of %1 is %2 bytes, the release says %3")
                      .arg(fileName)
                      .arg(stated.toLongLong() != maxSize ? stated.toLongLong() : temp->size())
                      .arg(maxSize)});
            return;
        }
        QFile::remove(localPath); // a stale file of the wrong size
        if (!temp->rename(localPath)) {
            fail({QStringLiteral("Download Error"), kCacheMove,
                  QStringLiteral("cannot move the download into %1: %2").arg(localPath, temp->errorString())});
            return;
        }
        temp->setAutoRemove(false);
        StatistcsFirmware(true, downLoadID);
        if (success)
            success(localPath);
    });
}

void SHttp::StatistcsFirmware(bool send, int id)
{
    if (!send)
        return;
    QNetworkReply *reply = network().get(request(baseURL() + QStringLiteral("firmware/StatisticsFirmware"),
                                                 {{"id", QString::asprintf("%d", id)}, {"type", QStringLiteral("2")}}));
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

void SHttp::recordActivity(int type)
{
    const double now = nowSeconds();
    const double last = UserDefaults::standard().objectForKey(QStringLiteral("localActivityTimer")).toDouble();
    const QString list = UserDefaults::standard().stringForKey(QStringLiteral("localActivityController"));
    // A plain substring test: "1" is found in "21,".
    if (now - last > kDaySeconds || !list.contains(QString::number(type)))
        sendRecordActivity(type);
}

void SHttp::sendRecordActivity(int type)
{
    const ServerConfig config = ServerConfig::current();
    HttpGetPageHtml(
        [type, second = config.ipEchoPage2](const QString &ip) {
            if (ip != QLatin1String("0.0.0.0") && ip != QLatin1String("0.0.0.1")) {
                sendRecordActivity_IP(type, ip);
                return;
            }
            HttpGetPageHtml([type](const QString &ip2) { sendRecordActivity_IP(type, ip2); }, second,
                            QStringConverter::Latin1);
        },
        config.ipEchoPage1, QStringConverter::Utf8);
}

void SHttp::sendRecordActivity_IP(int type, const QString &ip)
{
    const double started = nowSeconds();
    QNetworkReply *reply = network().get(
        request(baseURL() + QStringLiteral("firmware/Activity"), {{"mac", getID()},
                                                                  {"macName", getComputerName()},
                                                                  {"platform", QStringLiteral("2")},
                                                                  {"type", QStringLiteral("1")},
                                                                  {"controller", QString::asprintf("%d", type)},
                                                                  {"ip", ip},
                                                                  {"region", region()}}));
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, type, started] {
        reply->deleteLater();
        if (transportFailed(reply))
            return; // not recorded: the next attach tries again
        UserDefaults &defaults = UserDefaults::standard();
        defaults.setObject(started, QStringLiteral("localActivityTimer"));
        const QString list = defaults.stringForKey(QStringLiteral("localActivityController"));
        defaults.setObject(QStringLiteral("%1%2,").arg(list).arg(type), QStringLiteral("localActivityController"));
    });
}

QString SHttp::getID()
{
    return QString::fromLatin1(QSysInfo::machineUniqueId()).remove(QLatin1Char('\n'));
}

QString SHttp::getComputerName()
{
    return utf8ToUnicode(QSysInfo::machineHostName());
}

QString SHttp::utf8ToUnicode(const QString &text)
{
    QString out;
    out.reserve(text.size() * 2);
    for (const QChar unit : text) {
        const char16_t u = unit.unicode();
        const bool plain = (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
        if (plain)
            out.append(unit);
        else
            out.append(QStringLiteral("\\u%1").arg(static_cast<unsigned>(u), 4, 16, QLatin1Char('0')));
    }
    return out;
}

void SHttp::HttpGetPageHtml(std::function<void(const QString &)> block, const QUrl &url,
                            QStringConverter::Encoding encoding)
{
    QNetworkRequest r(url);
    r.setTransferTimeout(5000 * 1000);
    QNetworkReply *reply = network().get(r);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, block, encoding] {
        reply->deleteLater();
        const QString fallback =
            Language::isCurrentChinaLanguage() ? QStringLiteral("0.0.0.0") : QStringLiteral("0.0.0.1");
        const QByteArray body = reply->readAll();
        if (transportFailed(reply)) {
            if (block)
                block(fallback);
            return;
        }
        QStringDecoder decode(encoding);
        const QString address = getIPFormHtml(decode(body));
        if (block)
            block(address.isNull() ? fallback : address);
    });
}

QString SHttp::getIPFormHtml(const QString &page)
{
    if (page.isNull())
        return {};
    static const QRegularExpression ipv4(QStringLiteral("(?:(?:(25[0-5])|(2[0-4]\\d)|((1\\d{2})|([1-9]?\\d)))\\.){3}(?:"
                                                        "(25[0-5])|(2[0-4]\\d)|((1\\d{2})|([1-9]?\\d)))"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = ipv4.match(page);
    QString regionFound = QString::fromUtf8(kUnknownRegion);
    QString address;
    if (match.hasMatch()) {
        address = match.captured(0);
        const QString window = page.mid(match.capturedStart(0), match.capturedLength(0) + 50);
        const QString after = window.mid(match.capturedLength(0));
        const qsizetype tag = after.indexOf(QLatin1Char('<'));
        if (tag >= 0)
            regionFound = after.left(tag);
    }
    region() = utf8ToUnicode(regionFound);
    return address;
}

QString SHttp::regionText()
{
    return region();
}

} // namespace flashwell
