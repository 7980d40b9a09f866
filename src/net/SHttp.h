#pragma once

#include "net/Firmware.h"
#include "net/HttpError.h"

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

    // The network access of the whole process, on the thread that first asks (the UI thread).
    static QNetworkAccessManager &network();
    // The beta server, else the mainland-China server in a Chinese interface, else the primary.
    static QString baseURL();
    // "<Downloads>/Fenwyk Flashwell".
    static QString downloadFolder();

    static void getUpdateFirmwaerWithType(int type, ListSuccess success, Failure failure);
    static void getNewVersion(int type, float version, int beta, FirmwareSuccess success, Failure failure);
    static void dowmFirmwaerFile(const QString &fileURL, PathSuccess success, Failure failure, int downLoadID,
                                 int maxSize);
    static void StatistcsFirmware(bool send, int id);

    // Activity reports.
    static void recordActivity(int type);
    static void sendRecordActivity(int type);
    static void sendRecordActivity_IP(int type, const QString &ip);
    static QString getID();
    static QString getComputerName();
    static QString utf8ToUnicode(const QString &text);
    static void HttpGetPageHtml(std::function<void(const QString &ip)> block, const QUrl &url,
                                QStringConverter::Encoding encoding);
    // The first IPv4 address in the page (null when none); sets the region text as a side effect.
    static QString getIPFormHtml(const QString &page);
    static QString regionText();
};

} // namespace flashwell
