#include "net/SHttp.h"

#include "device/Language.h"
#include "mapping/JsonMapping.h"
#include "net/NetLogging.h"
#include "net/ServerConfig.h"
#include "platform/ApplicationContext.h"
#include "platform/UserDefaults.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMessageAuthenticationCode>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QSysInfo>
#include <QTemporaryFile>
#include <QUuid>

#include <array>
#include <memory>

namespace flashwell {

namespace {

constexpr qint64 kMinimumDownload = 2000;
constexpr qint64 kDownloadBuffer = qint64{256} * 1024;
// Replies read whole are capped: a release list is a few KiB, an IP page less.
constexpr qint64 kJsonReplyLimit = qint64{4} * 1024 * 1024;
constexpr qint64 kPageReplyLimit = qint64{512} * 1024;
// Report replies are thrown away as they come; past this the server is misbehaving.
constexpr qint64 kIgnoredReplyLimit = qint64{1024} * 1024;
constexpr int kIpPageTimeoutMs = 5000 * 1000;
constexpr int kSizeMismatch = 1010;
constexpr int kTooShort = 1011;
constexpr int kCacheMove = 1012;
constexpr int kBadFileName = 1013;
constexpr int kDigestMismatch = 1014;
constexpr double kDaySeconds = 86400;
const char *const kUnknownRegion = "未识别地区";
const char *const kAbortReason = "flashwellAbortReason";
// Fixed key of the machine identifier's keyed hash: the same machine always gives the same
// value, and it cannot be turned back into the machine's own ID.
const char *const kMachineIdKey = "Fenwyk Flashwell activity report v1";

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
    r.setTransferTimeout(ServerConfig::current().transferTimeoutMs);
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

// An HTTP error status with its page is an answer like any other, judged by its body (or, for
// downloads, its size). Everything else that went wrong - no connection, a reply cut off after its
// status line, a time-out, a reply we aborted - is a failure of the transfer.
bool transportFailed(const QNetworkReply *reply)
{
    const QNetworkReply::NetworkError e = reply->error();
    if (e == QNetworkReply::NoError)
        return false;
    const bool statusOnly = (e >= QNetworkReply::ContentAccessDenied && e <= QNetworkReply::UnknownContentError)
                            || (e >= QNetworkReply::InternalServerError && e <= QNetworkReply::UnknownServerError);
    return !statusOnly;
}

HttpError networkError(const QNetworkReply *reply)
{
    const QString reason = reply->property(kAbortReason).toString();
    if (!reason.isEmpty())
        return {QStringLiteral("Network"), static_cast<int>(QNetworkReply::OperationCanceledError), reason};
    if (reply->error() == QNetworkReply::OperationCanceledError || reply->error() == QNetworkReply::TimeoutError)
        return {QStringLiteral("Network"), static_cast<int>(reply->error()),
                QStringLiteral("the server at %1 sent nothing for %2 seconds")
                    .arg(reply->url().host())
                    .arg(reply->request().transferTimeout() / 1000)};
    return {QStringLiteral("Network"), static_cast<int>(reply->error()), reply->errorString()};
}

void abortWith(QNetworkReply *reply, const QString &reason)
{
    if (reply->property(kAbortReason).isNull())
        reply->setProperty(kAbortReason, reason);
    reply->abort();
}

// Replies read whole: aborted as soon as they state or bring more than `limit` bytes.
void capReply(QNetworkReply *reply, qint64 limit)
{
    const auto over = [reply, limit](qint64 bytes) {
        if (bytes > limit)
            abortWith(reply, QStringLiteral("the reply from %1 is larger than %2 bytes; not read")
                                 .arg(reply->url().host())
                                 .arg(limit));
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, over] {
        const QVariant stated = reply->header(QNetworkRequest::ContentLengthHeader);
        if (stated.isValid())
            over(stated.toLongLong());
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [over](qint64 received, qint64) { over(received); });
}

// Replies nobody reads: dropped as they arrive, aborted past the limit.
void discardReply(QNetworkReply *reply)
{
    auto received = std::make_shared<qint64>(0);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, received] {
        *received += reply->skip(reply->bytesAvailable());
        if (*received > kIgnoredReplyLimit)
            abortWith(reply, QStringLiteral("the reply from %1 does not end").arg(reply->url().host()));
    });
}

// Runs `handler` once `reply` has finished, unless `context` is given and destroyed first: then
// the reply is aborted and only `abandoned` is called.
void whenFinished(QNetworkReply *reply, const QObject *context, std::function<void()> handler,
                  std::function<void()> abandoned = {})
{
    // A context destroyed by the handler itself abandons nothing: the request has ended.
    auto finished = std::make_shared<bool>(false);
    QObject::connect(reply, &QNetworkReply::finished, context ? context : reply,
                     [reply, finished, handler = std::move(handler)] {
                         *finished = true;
                         reply->deleteLater();
                         handler();
                     });
    if (context)
        QObject::connect(context, &QObject::destroyed, reply,
                         [reply, context, finished, abandoned = std::move(abandoned)] {
                             if (*finished)
                                 return;
                             // Our own connections only: the manager keeps its own on the reply.
                             QObject::disconnect(reply, nullptr, context, nullptr);
                             QObject::disconnect(reply, nullptr, reply, nullptr);
                             reply->abort();
                             reply->deleteLater();
                             if (abandoned)
                                 abandoned();
                         });
}

void tell(const SHttp::Ended &ended, RequestEnd end)
{
    if (ended)
        ended(end);
}

// A name from the server becomes a file directly inside `folder`, or nothing.
bool acceptableFileName(const QString &name, const QString &folder)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        return false;
    for (const QChar c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            return false;
    const QString path = QDir::cleanPath(folder + QLatin1Char('/') + name);
    return QFileInfo(path).dir() == QDir(QDir::cleanPath(folder)) && QFileInfo(path).fileName() == name
           && !QFileInfo(path).isSymLink();
}

// The release's digest when it is one (32 hexadecimal digits), lower case; else empty.
QByteArray expectedDigest(const QString &md5)
{
    static const QRegularExpression hex32(QStringLiteral("^[0-9A-Fa-f]{32}$"));
    return hex32.match(md5).hasMatch() ? md5.toLatin1().toLower() : QByteArray();
}

QByteArray fileDigest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(&file);
    return hash.result().toHex();
}

} // namespace

QNetworkAccessManager &SHttp::network()
{
    return ApplicationContext::current().shared<QNetworkAccessManager>([] {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        return std::make_unique<QNetworkAccessManager>();
    });
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

void SHttp::getUpdateFirmwaerWithType(int type, const QObject *context, ListSuccess success, Failure failure,
                                      Ended ended)
{
    QNetworkReply *reply =
        network().post(request(baseURL() + QStringLiteral("firmware/select"),
                               {{"type", QString::asprintf("%d", type)}, {"beta", QStringLiteral("1")}}),
                       QByteArray());
    capReply(reply, kJsonReplyLimit);
    auto onFinished = [reply, success = std::move(success), failure = std::move(failure), ended] {
        if (transportFailed(reply)) {
            qCWarning(lcNet).noquote() << "release list:" << networkError(reply).description;
            if (failure)
                failure(networkError(reply));
            tell(ended, RequestEnd::Error);
            return;
        }
        // Not a successful answer (not JSON, msgState other than 1): neither block hears of it.
        const auto object = successfulReply(reply->readAll());
        if (!object) {
            tell(ended, RequestEnd::NoResult);
            return;
        }
        const QJsonValue list = object->value(QStringLiteral("list"));
        if (!list.isArray()) {
            if (success)
                success(std::nullopt);
            tell(ended, RequestEnd::NoResult);
            return;
        }
        if (success)
            success(mapping::listFromJson<Firmware>(list.toArray()));
        tell(ended, RequestEnd::Result);
    };
    whenFinished(reply, context, std::move(onFinished),
                 [ended = std::move(ended)] { tell(ended, RequestEnd::Abandoned); });
}

void SHttp::getNewVersion(int type, float version, int beta, const QObject *context, FirmwareSuccess success,
                          const Failure &failure)
{
    Q_UNUSED(failure); // the newest release is a hint: a failure tells nobody anything
    QNetworkReply *reply = network().post(request(baseURL() + QStringLiteral("firmware/loadNewVersion"),
                                                  {{"type", QString::asprintf("%d", type)},
                                                   {"version", QString::asprintf("%lf", static_cast<double>(version))},
                                                   {"beta", QString::asprintf("%d", beta)},
                                                   {"isLoadBeta", QStringLiteral("1")}}),
                                          QByteArray());
    capReply(reply, kJsonReplyLimit);
    whenFinished(reply, context, [reply, success = std::move(success)] {
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

void SHttp::dowmFirmwaerFile(const QString &fileURL, const QObject *context, PathSuccess success, Failure failure,
                             int downLoadID, int maxSize, const QString &md5, Ended ended)
{
    const auto fail = [failure = std::move(failure), ended](const HttpError &error) {
        qCWarning(lcNet).noquote() << "download:" << error.description;
        if (failure)
            failure(error);
        tell(ended, RequestEnd::Error);
    };
    const QString folder = downloadFolder();
    // The name as the server wrote it goes back into the URL; the decoded one names the file.
    const QString encodedName = QUrl(fileURL).fileName(QUrl::FullyEncoded);
    const QString fileName = QUrl::fromPercentEncoding(encodedName.toUtf8());
    if (!acceptableFileName(fileName, folder)) {
        fail({QStringLiteral("Download Error"), kBadFileName,
              QStringLiteral("the release's file address \"%1\" does not name a plain file").arg(fileURL)});
        return;
    }
    const QString url = baseURL() + QStringLiteral("firmwareFile/upload/") + encodedName;
    QDir().mkpath(folder);
    const QString localPath = QStringLiteral("%1/%2").arg(folder, fileName);
    const QByteArray digest = expectedDigest(md5);

    // A cached file is used only when it is exactly the release's size (and digest, when the
    // release gives one); anything else is fetched again.
    if (QFileInfo(localPath).isFile() && QFileInfo(localPath).size() == maxSize) {
        if (digest.isEmpty() || fileDigest(localPath) == digest) {
            if (success)
                success(localPath);
            tell(ended, RequestEnd::Result);
            return;
        }
        QFile::remove(localPath); // damaged: never to be flashed
    }

    // Streamed into a temporary file beside the final one, renamed only once it passed every test,
    // so no partial file ever stands under the final name.
    auto temp = std::make_shared<QTemporaryFile>(QStringLiteral("%1/.%2.XXXXXX").arg(folder, fileName));
    if (!temp->open()) {
        fail({QStringLiteral("Download Error"), kCacheMove,
              QStringLiteral("cannot write into the download folder %1: %2").arg(folder, temp->errorString())});
        return;
    }
    QNetworkRequest r{QUrl(url)};
    r.setTransferTimeout(ServerConfig::current().transferTimeoutMs); // counts from the last byte received
    QNetworkReply *reply = network().get(r);
    reply->setReadBufferSize(kDownloadBuffer); // memory stays flat whatever the file's size
    auto hash = std::make_shared<QCryptographicHash>(QCryptographicHash::Md5);
    // Set when the headers already condemn the download; reported instead of the abort.
    auto refused = std::make_shared<std::optional<HttpError>>();
    const auto store = [reply, temp, hash] {
        const QByteArray bytes = reply->readAll();
        hash->addData(bytes);
        temp->write(bytes);
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [=] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 300 && status < 400)
            return; // a redirection; the headers of the file come next
        const QVariant stated = reply->header(QNetworkRequest::ContentLengthHeader);
        if (!stated.isValid() || stated.toLongLong() < kMinimumDownload) {
            *refused =
                HttpError{QStringLiteral("Download Error"), kTooShort,
                          stated.isValid()
                              ? QStringLiteral("download of %1 is only %2 bytes").arg(fileName).arg(stated.toLongLong())
                              : QStringLiteral("download of %1 did not state its size").arg(fileName)};
        } else if (stated.toLongLong() != maxSize) {
            *refused = HttpError{QStringLiteral("Download Error"), kSizeMismatch,
                                 QStringLiteral("download of %1 is %2 bytes, the release says %3")
                                     .arg(fileName)
                                     .arg(stated.toLongLong())
                                     .arg(maxSize)};
        }
        if (*refused)
            abortWith(reply, refused->value().description);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, store);
    auto onFinished = [=, success = std::move(success)] {
        if (*refused) {
            fail(refused->value());
            return;
        }
        store();
        if (transportFailed(reply)) {
            fail(networkError(reply));
            return;
        }
        temp->flush();
        if (temp->size() != maxSize) {
            fail({QStringLiteral("Download Error"), kSizeMismatch,
                  QStringLiteral("download of %1 is %2 bytes, the release says %3")
                      .arg(fileName)
                      .arg(temp->size())
                      .arg(maxSize)});
            return;
        }
        if (!digest.isEmpty() && hash->result().toHex() != digest) {
            fail({QStringLiteral("Download Error"), kDigestMismatch,
                  QStringLiteral("download of %1 is damaged: its MD5 is %2, the release says %3")
                      .arg(fileName, QString::fromLatin1(hash->result().toHex()), QString::fromLatin1(digest))});
            return;
        }
        QFile::remove(localPath); // a stale file of the wrong size or digest
        if (!temp->rename(localPath)) {
            fail({QStringLiteral("Download Error"), kCacheMove,
                  QStringLiteral("cannot move the download into %1: %2").arg(localPath, temp->errorString())});
            return;
        }
        temp->setAutoRemove(false);
        StatistcsFirmware(true, downLoadID);
        if (success)
            success(localPath);
        tell(ended, RequestEnd::Result);
    };
    whenFinished(reply, context, std::move(onFinished),
                 [ended = std::move(ended)] { tell(ended, RequestEnd::Abandoned); });
}

void SHttp::StatistcsFirmware(bool send, int id)
{
    if (!send)
        return;
    QNetworkReply *reply = network().get(request(baseURL() + QStringLiteral("firmware/StatisticsFirmware"),
                                                 {{"id", QString::asprintf("%d", id)}, {"type", QStringLiteral("2")}}));
    discardReply(reply);
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

bool SHttp::recordActivity(int type)
{
    const double now = nowSeconds();
    const double last = UserDefaults::standard().objectForKey(QStringLiteral("localActivityTimer")).toDouble();
    const QString list = UserDefaults::standard().stringForKey(QStringLiteral("localActivityController"));
    // A plain substring test: "1" is found in "21,".
    if (now - last <= kDaySeconds && list.contains(QString::number(type)))
        return false;
    sendRecordActivity(type);
    return true;
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
    discardReply(reply);
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
    return idFor(QSysInfo::machineUniqueId().trimmed());
}

QString SHttp::idFor(const QByteArray &machine)
{
    // The machine ID must not leave the machine: send a keyed hash of it, shaped as a UUID.
    if (machine.isEmpty())
        return {};
    QByteArray id =
        QMessageAuthenticationCode::hash(machine, QByteArray(kMachineIdKey), QCryptographicHash::Sha256).left(16);
    id[6] = static_cast<char>((id[6] & 0x0F) | 0x80); // version 8: an application-defined UUID
    id[8] = static_cast<char>((id[8] & 0x3F) | 0x80); // RFC variant
    return QUuid::fromRfc4122(id).toString(QUuid::WithoutBraces).toUpper();
}

QString SHttp::getComputerName()
{
    return utf8ToUnicode(QSysInfo::machineHostName());
}

QString SHttp::utf8ToUnicode(const QString &text)
{
    // Each escape written digit by digit: this runs over whole pages, and a formatted argument
    // per character was most of its time.
    static constexpr char16_t kHexDigits[] = u"0123456789abcdef";
    QString out;
    out.reserve(text.size() * 2);
    for (const QChar unit : text) {
        const char16_t u = unit.unicode();
        const bool plain = (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
        if (plain) {
            out.append(unit);
            continue;
        }
        const std::array<QChar, 6> escape{QChar(u'\\'),
                                          QChar(u'u'),
                                          QChar(kHexDigits[(u >> 12) & 0xF]),
                                          QChar(kHexDigits[(u >> 8) & 0xF]),
                                          QChar(kHexDigits[(u >> 4) & 0xF]),
                                          QChar(kHexDigits[u & 0xF])};
        out.append(escape.data(), static_cast<qsizetype>(escape.size()));
    }
    return out;
}

void SHttp::HttpGetPageHtml(std::function<void(const QString &)> block, const QUrl &url,
                            QStringConverter::Encoding encoding)
{
    QNetworkRequest r(url);
    r.setTransferTimeout(kIpPageTimeoutMs);
    QNetworkReply *reply = network().get(r);
    capReply(reply, kPageReplyLimit);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, block = std::move(block), encoding] {
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
