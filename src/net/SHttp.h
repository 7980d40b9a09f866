#pragma once

#include "net/Firmware.h"
#include "net/HttpError.h"
#include "net/RequestEnd.h"

#include <QObject>
#include <QString>
#include <QStringConverter>

#include <functional>
#include <optional>

class QNetworkAccessManager;

namespace flashwell {

// The client of the vendor's firmware server: release lists, the newest release, downloads into
// the cache folder with their download report, and activity reports. Stateless class methods;
// every result reaches the caller on the thread that asked (the UI thread), never blocking it.
class SHttp final
{
public:
    SHttp() = delete;

    using ListSuccess = std::function<void(const std::optional<QList<Firmware>> &list)>;
    using FirmwareSuccess = std::function<void(const Firmware &firmware)>;
    using PathSuccess = std::function<void(const QString &path)>;
    using Failure = std::function<void(const HttpError &error)>;
    // Hears how a request ended, once, after its block ran (or when none will).
    using Ended = std::function<void(RequestEnd end)>;

    // The network access of the whole process, on the thread that first asks (the UI thread).
    static QNetworkAccessManager &network();
    // The beta server, else the mainland-China server in a Chinese interface, else the primary.
    static QString baseURL();
    // "<Downloads>/Fenwyk Flashwell".
    static QString downloadFolder();

    // `context` is the object the blocks belong to (the screen that asked): once it is destroyed
    // the request is aborted and no block runs. Null only where the blocks outlive every request.
    // A request that receives nothing for 60 seconds fails; a reply that is cut off, or larger than
    // a reply of its kind can be, fails too. `ended` (optional) is told every ending, also the
    // answer without a list that calls neither block and the abort when `context` goes.
    static void getUpdateFirmwaerWithType(int type, const QObject *context, ListSuccess success, Failure failure,
                                          Ended ended = {});
    static void getNewVersion(int type, float version, int beta, const QObject *context, FirmwareSuccess success,
                              const Failure &failure);
    // `md5` is the release's digest; when it is 32 hexadecimal digits the file must match it
    // (error 1014 otherwise, and the file is removed), and a cached file is reused only if it does.
    static void dowmFirmwaerFile(const QString &fileURL, const QObject *context, PathSuccess success, Failure failure,
                                 int downLoadID, int maxSize, const QString &md5 = QString(), Ended ended = {});
    static void StatistcsFirmware(bool send, int id);

    // Activity reports.
    // True when a report was started (the once-per-day rule let it through).
    static bool recordActivity(int type);
    static void sendRecordActivity(int type);
    static void sendRecordActivity_IP(int type, const QString &ip);
    static QString getID();
    // What getID sends for a machine ID: a keyed hash shaped as a UUID, empty for an empty ID.
    static QString idFor(const QByteArray &machineId);
    static QString getComputerName();
    static QString utf8ToUnicode(const QString &text);
    static void HttpGetPageHtml(std::function<void(const QString &ip)> block, const QUrl &url,
                                QStringConverter::Encoding encoding);
    // The first IPv4 address in the page (null when none); sets the region text as a side effect.
    static QString getIPFormHtml(const QString &page);
    static QString regionText();
};

} // namespace flashwell
