#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

class QTcpServer;
class QTcpSocket;

namespace flashwell::lab {

// The lab's firmware server: real HTTP/1.1 on 127.0.0.1 with the release list, newest release,
// download, download report and activity endpoints and an IP-echo page. It records every request
// and can misbehave on purpose. Written on QTcpServer so that faults such as a Content-Length that
// lies are fully in our hands.
class LabFirmwareServer final : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QByteArray method;
        QByteArray path;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray header(const char *name) const { return headers.value(QByteArray(name).toLower()); }
    };

    struct Faults
    {
        int contentLengthDelta = 0;      // downloads state their size this much off
        bool shortBody = false;          // downloads are cut to 1999 bytes (and say so)
        bool http500 = false;            // every reply is a 500 with an HTML body
        bool nonJson = false;            // firmware replies are not JSON
        bool msgState0 = false;          // firmware replies carry msgState 0
        int slowBodyMs = 0;              // downloads trickle out, one 1 KiB piece per this many ms
        bool cutAfterStatusLine = false; // every reply is a status line, then the connection closes
        bool neverAnswer = false;        // requests are read and never answered
        bool endlessBody = false;        // every reply is a 200 whose body never ends
        bool wrongMd5 = false;           // listed releases carry an "md5" that is not their file's
    };

    explicit LabFirmwareServer(QObject *parent = nullptr);
    ~LabFirmwareServer() override;

    bool listen(quint16 port = 0);
    quint16 port() const;
    // "http://127.0.0.1:<port>/"
    QUrl baseUrl() const;

    // A release (the JSON fields of one list entry) and its file. `fileURL`, `fileSize` and `md5`
    // are filled in from the file when absent.
    void addRelease(QJsonObject release, const QString &filePath);
    void addRelease(QJsonObject release, const QByteArray &bytes);
    // Loads "releases.json" (an array of release objects naming their "fileName") from `dir`.
    bool loadDirectory(const QString &dir, QString *error = nullptr);
    // The IP-echo pages at "/ip" and "/ip2".
    void setIpPage(const QString &html) { m_ipPage = html; }
    void setIpPage2(const QString &html) { m_ipPage2 = html; }

    Faults faults;
    const QList<Request> &requests() const { return m_requests; }
    // Download body bytes handed to sockets so far.
    qint64 bodyBytesSent() const { return *m_bodyBytesSent; }
    QList<Request> requestsTo(const QByteArray &path) const;
    void clearRequests() { m_requests.clear(); }

private:
    struct Release
    {
        QJsonObject json;
        QString filePath; // served from disk when set
        QByteArray bytes; // else from memory
    };
    void onConnection();
    void onReadable(QTcpSocket *socket);
    void respond(QTcpSocket *socket, const Request &request);
    void sendJson(QTcpSocket *socket, const QJsonObject &object);
    void sendBody(QTcpSocket *socket, int status, const QByteArray &type, const QByteArray &body);
    void sendFile(QTcpSocket *socket, const Release &release);
    void sendEndless(QTcpSocket *socket);
    QJsonObject listed(const Release &release) const;

    QTcpServer *m_server;
    QList<Release> m_releases;
    QList<Request> m_requests;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    std::shared_ptr<qint64> m_bodyBytesSent = std::make_shared<qint64>(0);
    QString m_ipPage = QStringLiteral("<html><body>Your address: 203.0.113.7 Fenwyk Harbour</body></html>");
    QString m_ipPage2 = QStringLiteral("<html><body>IP 198.51.100.20 Fenwyk Bay</body></html>");
};

} // namespace flashwell::lab
