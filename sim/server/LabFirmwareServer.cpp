#include "server/LabFirmwareServer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <memory>

namespace flashwell::lab {

namespace {
constexpr qint64 kPiece = qint64{64} * 1024;
constexpr qint64 kSlowPiece = 1024;

double order(const QJsonObject &release)
{
    return release.value(QStringLiteral("version")).toDouble()
           + release.value(QStringLiteral("beta")).toDouble() * 0.001;
}

QByteArray reason(int status)
{
    return status == 200 ? "OK" : status == 404 ? "Not Found" : "Internal Server Error";
}
} // namespace

LabFirmwareServer::LabFirmwareServer(QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &LabFirmwareServer::onConnection);
}

LabFirmwareServer::~LabFirmwareServer() = default;

bool LabFirmwareServer::listen(quint16 port)
{
    return m_server->listen(QHostAddress::LocalHost, port);
}

quint16 LabFirmwareServer::port() const
{
    return m_server->serverPort();
}

QUrl LabFirmwareServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port()));
}

void LabFirmwareServer::addRelease(QJsonObject release, const QString &filePath)
{
    const QString name = QFileInfo(filePath).fileName();
    if (!release.contains(QStringLiteral("fileURL")))
        release.insert(QStringLiteral("fileURL"), QStringLiteral("http://files.fenwyk.example/firmware/%1").arg(name));
    if (!release.contains(QStringLiteral("fileName")))
        release.insert(QStringLiteral("fileName"), name);
    if (!release.contains(QStringLiteral("fileSize")))
        release.insert(QStringLiteral("fileSize"), QFileInfo(filePath).size());
    if (!release.contains(QStringLiteral("md5"))) {
        QFile file(filePath);
        QCryptographicHash hash(QCryptographicHash::Md5);
        if (file.open(QIODevice::ReadOnly) && hash.addData(&file))
            release.insert(QStringLiteral("md5"), QString::fromLatin1(hash.result().toHex()));
    }
    m_releases.append({release, filePath, {}});
}

void LabFirmwareServer::addRelease(QJsonObject release, const QByteArray &bytes)
{
    const QString name = release.value(QStringLiteral("fileName")).toString();
    if (!release.contains(QStringLiteral("fileURL")))
        release.insert(QStringLiteral("fileURL"), QStringLiteral("http://files.fenwyk.example/firmware/%1").arg(name));
    if (!release.contains(QStringLiteral("fileSize")))
        release.insert(QStringLiteral("fileSize"), bytes.size());
    if (!release.contains(QStringLiteral("md5")))
        release.insert(QStringLiteral("md5"),
                       QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex()));
    m_releases.append({release, {}, bytes});
}

bool LabFirmwareServer::loadDirectory(const QString &dir, QString *error)
{
    QFile index(QDir(dir).filePath(QStringLiteral("releases.json")));
    if (!index.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1").arg(index.fileName());
        return false;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(index.readAll());
    if (!doc.isArray()) {
        if (error)
            *error = QStringLiteral("%1 is not a JSON array").arg(index.fileName());
        return false;
    }
    const QJsonArray releases = doc.array();
    for (const auto &value : releases) {
        const QJsonObject release = value.toObject();
        addRelease(release, QDir(dir).filePath(release.value(QStringLiteral("fileName")).toString()));
    }
    return true;
}

QList<LabFirmwareServer::Request> LabFirmwareServer::requestsTo(const QByteArray &path) const
{
    QList<Request> out;
    for (const Request &r : m_requests)
        if (r.path == path)
            out.append(r);
    return out;
}

void LabFirmwareServer::onConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void LabFirmwareServer::onReadable(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    Request request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.path = first.value(1);
    qint64 bodyLength = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = lines[i].left(colon).trimmed().toLower();
        request.headers.insert(name, lines[i].mid(colon + 1).trimmed());
        if (name == "content-length")
            bodyLength = lines[i].mid(colon + 1).trimmed().toLongLong();
    }
    if (buffer.size() < end + 4 + bodyLength)
        return; // the body is still coming
    buffer.clear();
    m_requests.append(request);
    respond(socket, request);
}

void LabFirmwareServer::sendBody(QTcpSocket *socket, int status, const QByteArray &type, const QByteArray &body)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n";
    head += "Content-Type: " + type + "\r\nContent-Length: " + QByteArray::number(body.size())
            + "\r\nConnection: close\r\n\r\n";
    socket->write(head + body);
    socket->disconnectFromHost();
}

void LabFirmwareServer::sendJson(QTcpSocket *socket, const QJsonObject &object)
{
    if (faults.nonJson) {
        sendBody(socket, 200, "text/plain", "this is not JSON");
        return;
    }
    QJsonObject reply = object;
    if (faults.msgState0)
        reply.insert(QStringLiteral("msgState"), 0);
    sendBody(socket, 200, "application/json", QJsonDocument(reply).toJson(QJsonDocument::Compact));
}

QJsonObject LabFirmwareServer::listed(const Release &release) const
{
    QJsonObject json = release.json;
    if (faults.wrongMd5) {
        // Another valid digest: the file's own with every digit moved on by one.
        QByteArray digest = json.value(QStringLiteral("md5")).toString().toLatin1();
        if (digest.size() != 32)
            digest = QByteArray(32, '0');
        for (char &c : digest)
            c = "123456789abcdef0"[QByteArray("0123456789abcdef").indexOf(static_cast<char>(std::tolower(c))) & 0xF];
        json.insert(QStringLiteral("md5"), QString::fromLatin1(digest));
    }
    return json;
}

void LabFirmwareServer::sendEndless(QTcpSocket *socket)
{
    // No length and no end: the client has to stop reading by itself.
    socket->write(
        "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n{\"msgState\":1,\"list\":[");
    const QByteArray piece(kPiece, ' ');
    connect(socket, &QTcpSocket::bytesWritten, socket, [socket, piece] {
        if (socket->bytesToWrite() < kPiece)
            socket->write(piece);
    });
    socket->write(piece);
}

void LabFirmwareServer::respond(QTcpSocket *socket, const Request &request)
{
    if (faults.neverAnswer)
        return; // the connection stays open until the client gives up
    if (faults.cutAfterStatusLine) {
        socket->write("HTTP/1.1 200 OK\r\n");
        socket->flush();
        socket->disconnectFromHost();
        return;
    }
    if (faults.endlessBody) {
        sendEndless(socket);
        return;
    }
    if (faults.http500) {
        sendBody(socket, 500, "text/html", "<html><body><h1>500 Internal Server Error</h1></body></html>");
        return;
    }
    const QByteArray path = request.path;
    const int type = request.header("type").toInt();
    auto ofType = [&] {
        QList<QJsonObject> out;
        for (const Release &r : m_releases)
            if (r.json.value(QStringLiteral("type")).toInt() == type)
                out.append(listed(r));
        return out;
    };
    if (path == "/firmware/select") {
        QJsonArray list;
        for (const QJsonObject &r : ofType())
            list.append(r);
        sendJson(socket, {{QStringLiteral("msgState"), 1}, {QStringLiteral("list"), list}});
    } else if (path == "/firmware/loadNewVersion") {
        QList<QJsonObject> releases = ofType();
        std::stable_sort(releases.begin(), releases.end(),
                         [](const QJsonObject &a, const QJsonObject &b) { return order(a) > order(b); });
        // Only a release newer than the one the device runs is news: a device already up to date
        // is offered nothing, as by the vendor's server.
        const double running = request.header("version").toDouble() + request.header("beta").toDouble() * 0.001 + 1e-6;
        QJsonArray list;
        if (!releases.isEmpty() && order(releases.first()) > running)
            list.append(releases.first());
        sendJson(socket, {{QStringLiteral("msgState"), 1}, {QStringLiteral("list"), list}});
    } else if (path == "/firmware/StatisticsFirmware" || path == "/firmware/Activity") {
        sendJson(socket, {{QStringLiteral("msgState"), 1}});
    } else if (path == "/ip") {
        sendBody(socket, 200, "text/html; charset=utf-8", m_ipPage.toUtf8());
    } else if (path == "/ip2") {
        sendBody(socket, 200, "text/html", m_ipPage2.toLatin1());
    } else if (path.startsWith("/firmwareFile/upload/")) {
        const QString name = QString::fromUtf8(QByteArray::fromPercentEncoding(path.mid(21)));
        for (const Release &r : m_releases) {
            if (QUrl(r.json.value(QStringLiteral("fileURL")).toString()).fileName() == name) {
                sendFile(socket, r);
                return;
            }
        }
        sendBody(socket, 404, "text/html", "<html><body>no such file</body></html>");
    } else {
        sendBody(socket, 404, "text/html", "<html><body>not found</body></html>");
    }
}

void LabFirmwareServer::sendFile(QTcpSocket *socket, const Release &release)
{
    // The body comes from disk (or memory) a piece at a time, as the socket drains, so even a
    // large file never sits in memory whole.
    auto source = std::make_shared<QFile>(release.filePath);
    auto memory = std::make_shared<QByteArray>(release.bytes);
    qint64 size = release.filePath.isEmpty() ? memory->size() : QFileInfo(release.filePath).size();
    if (!release.filePath.isEmpty() && !source->open(QIODevice::ReadOnly)) {
        sendBody(socket, 404, "text/html", "<html><body>file missing</body></html>");
        return;
    }
    if (faults.shortBody)
        size = std::min<qint64>(size, 1999);
    const qint64 stated = size + faults.contentLengthDelta;
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: "
                  + QByteArray::number(stated) + "\r\nConnection: close\r\n\r\n");
    auto sent = std::make_shared<qint64>(0);
    const qint64 piece = faults.slowBodyMs > 0 ? kSlowPiece : kPiece;
    const int delay = faults.slowBodyMs;
    auto pump = std::make_shared<std::function<void()>>();
    // The pump refers to itself weakly; the socket's connection below keeps it alive as long as
    // the socket lives.
    std::weak_ptr<std::function<void()>> self = pump;
    *pump = [socket, source, memory, sent, size, piece, delay, self, total = m_bodyBytesSent,
             filePath = release.filePath]() {
        if (socket->state() != QAbstractSocket::ConnectedState)
            return;
        if (*sent >= size) {
            socket->disconnectFromHost();
            return;
        }
        const qint64 n = std::min(piece, size - *sent);
        const QByteArray bytes = filePath.isEmpty() ? memory->mid(*sent, n) : source->read(n);
        *sent += bytes.size();
        *total += bytes.size();
        socket->write(bytes);
        if (bytes.isEmpty())
            *sent = size;
        if (delay > 0)
            QTimer::singleShot(delay, socket, [self] {
                if (const auto next = self.lock())
                    (*next)();
            });
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, [socket, pump, delay] {
        if (delay == 0 && socket->bytesToWrite() < kPiece)
            (*pump)();
    });
    (*pump)();
}

} // namespace flashwell::lab
