#include "mapping/JsonMapping.h"
#include "models/FirmwareFileBuilder.h"
#include "net/FirmwareMessage.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/UserDefaults.h"
#include "server/LabFirmwareServer.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/EventLoop.h"
#include "support/NetworkIdle.h"
#include "support/TestSupport.h"

#include <functional>

using namespace flashwell;
using flashwell::lab::LabFirmwareServer;
using flashwell::test::networkIdle;
using flashwell::test::ScopedLanguages;
using flashwell::test::waitUntil;

namespace {

QJsonObject release(int id, int type, double version, int beta, const char *fileName)
{
    return {{QStringLiteral("id"), id},
            {QStringLiteral("type"), type},
            {QStringLiteral("version"), version},
            {QStringLiteral("beta"), beta},
            {QStringLiteral("date"), QStringLiteral("2026-11-30")},
            {QStringLiteral("fileName"), QString::fromLatin1(fileName)},
            {QStringLiteral("readme"), QStringLiteral("说明")},
            {QStringLiteral("readme_en"), QStringLiteral("Notes")}};
}

class HttpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SHttp::network().setProxy(QNetworkProxy::NoProxy);
        for (LabFirmwareServer *s : {&primary, &china, &beta})
            ASSERT_TRUE(s->listen());
        ServerConfig config;
        config.primary = primary.baseUrl();
        config.china = china.baseUrl();
        config.beta = beta.baseUrl();
        config.ipEchoPage1 = primary.baseUrl().resolved(QUrl(QStringLiteral("ip")));
        config.ipEchoPage2 = primary.baseUrl().resolved(QUrl(QStringLiteral("ip2")));
        config.downloadsRoot = downloads.path();
        config.transferTimeoutMs = 3000;
        ServerConfig::install(config);
        for (const char *key : {"UserDefaults_isBeta", "localActivityTimer", "localActivityController"})
            UserDefaults::standard().removeObjectForKey(QString::fromLatin1(key));
    }
    void TearDown() override
    {
        ServerConfig::install(std::nullopt);
        UserDefaults::standard().removeObjectForKey(QStringLiteral("UserDefaults_isBeta"));
    }

    QTemporaryDir downloads;
    QObject screen; // the object the blocks belong to
    LabFirmwareServer primary;
    LabFirmwareServer china;
    LabFirmwareServer beta;
};

} // namespace

struct ServerChoice
{
    bool betaSwitch;
    const char *language;
    int expected; // 0 primary, 1 China, 2 beta
};

// Failure messages name the case instead of dumping its bytes.
[[maybe_unused]] void PrintTo(const ServerChoice &c, std::ostream *os)
{
    *os << "beta switch " << c.betaSwitch << ", language " << c.language;
}

class HttpServerChoice : public HttpTest, public ::testing::WithParamInterface<ServerChoice>
{
};

TEST_P(HttpServerChoice, EveryOperationAddressesTheChosenServer)
{
    const ServerChoice &c = GetParam();
    UserDefaults::standard().setObject(c.betaSwitch, QStringLiteral("UserDefaults_isBeta"));
    ScopedLanguages languages({QString::fromLatin1(c.language)});
    LabFirmwareServer *servers[] = {&primary, &china, &beta};
    for (LabFirmwareServer *s : servers)
        s->addRelease(release(5, 21, 1.5, 0, "fw.bin"), lab::patternBytes(3000));

    bool listed = false;
    bool newest = false;
    QString path;
    SHttp::getUpdateFirmwaerWithType(
        21, &screen, [&](const auto &) { listed = true; }, nullptr);
    SHttp::getNewVersion(
        21, 1.0f, 0, &screen, [&](const Firmware &) { newest = true; }, nullptr);
    SHttp::dowmFirmwaerFile(
        QStringLiteral("http://x/fw.bin"), &screen, [&](const QString &p) { path = p; }, nullptr, 5, 3000);
    ASSERT_TRUE(waitUntil([&] { return listed && newest && !path.isEmpty(); }));
    ASSERT_TRUE(waitUntil([&] { return servers[c.expected]->requests().size() == 4; })) << "the download report too";
    for (int i = 0; i < 3; ++i)
        if (i != c.expected) {
            EXPECT_TRUE(servers[i]->requests().isEmpty()) << "server " << i;
        }
}

INSTANTIATE_TEST_SUITE_P(Combinations, HttpServerChoice,
                         ::testing::Values(ServerChoice{true, "zh-Hans-CN", 2}, ServerChoice{true, "en-US", 2},
                                           ServerChoice{false, "zh-Hans", 1}, ServerChoice{false, "zh-Hant-TW", 0},
                                           ServerChoice{false, "en-GB", 0}),
                         [](const auto &row) {
                             return std::string(row.param.betaSwitch ? "beta_" : "release_")
                                    + flashwell::test::testName(row.param.language);
                         });

TEST_F(HttpTest, RequestsCarryTheirHeaderFieldsExactly)
{
    primary.addRelease(release(9, 21, 1.5, 0, "fw.bin"), lab::patternBytes(2500));
    bool done = false;
    SHttp::getUpdateFirmwaerWithType(
        21, &screen, [&](const auto &) { done = true; }, nullptr);
    SHttp::getNewVersion(
        21, 1.2f, 3, &screen, [&](const Firmware &) {}, nullptr);
    SHttp::dowmFirmwaerFile(
        QStringLiteral("http://files/a/b/fw.bin"), &screen, [](const QString &) {}, nullptr, 9, 2500);
    ASSERT_TRUE(waitUntil([&] { return primary.requests().size() == 4; }));

    const auto select = primary.requestsTo("/firmware/select");
    ASSERT_EQ(select.size(), 1);
    EXPECT_EQ(select[0].method, "POST");
    EXPECT_EQ(select[0].header("type"), "21");
    EXPECT_EQ(select[0].header("beta"), "1");
    const auto newest = primary.requestsTo("/firmware/loadNewVersion");
    ASSERT_EQ(newest.size(), 1);
    EXPECT_EQ(newest[0].method, "POST");
    EXPECT_EQ(newest[0].header("version"), "1.200000");
    EXPECT_EQ(newest[0].header("beta"), "3");
    EXPECT_EQ(newest[0].header("isLoadBeta"), "1");
    const auto download = primary.requestsTo("/firmwareFile/upload/fw.bin");
    ASSERT_EQ(download.size(), 1);
    EXPECT_EQ(download[0].method, "GET");
    const auto report = primary.requestsTo("/firmware/StatisticsFirmware");
    ASSERT_EQ(report.size(), 1);
    EXPECT_EQ(report[0].method, "GET");
    EXPECT_EQ(report[0].header("id"), "9");
    EXPECT_EQ(report[0].header("type"), "2");
}

TEST_F(HttpTest, ReleaseListMapsEveryFieldInServerOrder)
{
    QJsonObject stringly = release(2, 21, 0, 1, "b.bin");
    stringly.insert(QStringLiteral("version"), QStringLiteral("2.05"));
    stringly.insert(QStringLiteral("id"), QStringLiteral("7"));
    primary.addRelease(release(1, 21, 1.25, 0, "a.bin"), lab::patternBytes(2100));
    primary.addRelease(stringly, lab::patternBytes(2200));
    primary.addRelease(release(3, 8, 9.0, 0, "other.bin"), lab::patternBytes(2300));
    std::optional<QList<Firmware>> list;
    bool called = false;
    SHttp::getUpdateFirmwaerWithType(
        21, &screen,
        [&](const auto &l) {
            list = l;
            called = true;
        },
        nullptr);
    ASSERT_TRUE(waitUntil([&] { return called; }));
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 2);
    EXPECT_EQ((*list)[0].id, 1);
    EXPECT_FLOAT_EQ((*list)[0].version, 1.25f);
    EXPECT_EQ((*list)[0].fileSize, 2100);
    EXPECT_EQ((*list)[0].readme_en, QStringLiteral("Notes"));
    EXPECT_EQ((*list)[0].storedFileName(), QStringLiteral("a.bin"));
    EXPECT_EQ((*list)[1].id, 7) << "numbers may come as strings";
    EXPECT_FLOAT_EQ((*list)[1].version, 2.05f);
    EXPECT_EQ((*list)[1].beta, 1);
}

TEST_F(HttpTest, EmptyListSucceedsEmptyAndNewestOfNothingSaysNothing)
{
    std::optional<QList<Firmware>> list;
    bool listed = false;
    bool newest = false;
    SHttp::getUpdateFirmwaerWithType(
        33, &screen,
        [&](const auto &l) {
            list = l;
            listed = true;
        },
        nullptr);
    SHttp::getNewVersion(
        33, 1.0f, 0, &screen, [&](const Firmware &) { newest = true; }, nullptr);
    ASSERT_TRUE(waitUntil([&] { return listed && primary.requests().size() == 2; }));
    ASSERT_TRUE(waitUntil(networkIdle)) << "every request ended";
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->isEmpty());
    EXPECT_FALSE(newest);
}

TEST_F(HttpTest, NewestReleaseIsTheHighestVersionAndBeta)
{
    primary.addRelease(release(1, 21, 1.25, 0, "a.bin"), lab::patternBytes(2100));
    primary.addRelease(release(2, 21, 1.25, 2, "b.bin"), lab::patternBytes(2100));
    primary.addRelease(release(3, 21, 1.20, 0, "c.bin"), lab::patternBytes(2100));
    int id = 0;
    SHttp::getNewVersion(
        21, 1.0f, 0, &screen, [&](const Firmware &f) { id = f.id; }, nullptr);
    ASSERT_TRUE(waitUntil([&] { return id != 0; }));
    EXPECT_EQ(id, 2);
}

struct ReplyFault
{
    const char *what;
    void (*apply)(LabFirmwareServer::Faults &);
};

// Failure messages name the case instead of dumping its bytes.
[[maybe_unused]] void PrintTo(const ReplyFault &c, std::ostream *os)
{
    *os << c.what;
}

class HttpReplyFaults : public HttpTest, public ::testing::WithParamInterface<ReplyFault>
{
};

TEST_P(HttpReplyFaults, NoResultMeansNoCallback)
{
    GetParam().apply(primary.faults);
    primary.addRelease(release(1, 21, 1.25, 0, "a.bin"), lab::patternBytes(2100));
    int calls = 0;
    SHttp::getUpdateFirmwaerWithType(
        21, &screen, [&](const auto &) { ++calls; }, [&](const HttpError &) { ++calls; });
    SHttp::getNewVersion(
        21, 1.0f, 0, &screen, [&](const Firmware &) { ++calls; }, nullptr);
    ASSERT_TRUE(waitUntil([&] { return primary.requests().size() == 2; }));
    ASSERT_TRUE(waitUntil(networkIdle)) << "every request ended";
    EXPECT_EQ(calls, 0) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(Faults, HttpReplyFaults,
                         ::testing::Values(ReplyFault{"msgState 0", [](auto &f) { f.msgState0 = true; }},
                                           ReplyFault{"not JSON", [](auto &f) { f.nonJson = true; }},
                                           ReplyFault{"500 with HTML", [](auto &f) { f.http500 = true; }}),
                         [](const auto &row) { return flashwell::test::testName(row.param.what); });

TEST_F(HttpTest, TransportFailureOfTheListReachesTheFailureBlock)
{
    ServerConfig config = ServerConfig::current();
    config.primary = QUrl(QStringLiteral("http://127.0.0.1:1/"));
    ServerConfig::install(config);
    bool failed = false;
    SHttp::getUpdateFirmwaerWithType(
        21, &screen, [](const auto &) {}, [&](const HttpError &e) { failed = !e.description.isEmpty(); });
    EXPECT_TRUE(waitUntil([&] { return failed; }));
}

TEST_F(HttpTest, DownloadLandsInTheCacheFolderAndReportsOnce)
{
    const QByteArray bytes = lab::patternBytes(2000, 4);
    primary.addRelease(release(44, 21, 1.5, 0, "exact.bin"), bytes);
    QString path;
    SHttp::dowmFirmwaerFile(
        QStringLiteral("http://files/exact.bin"), &screen, [&](const QString &p) { path = p; }, nullptr, 44, 2000);
    ASSERT_TRUE(waitUntil([&] { return !path.isEmpty(); }));
    EXPECT_EQ(path, downloads.filePath(QStringLiteral("Fenwyk Flashwell/exact.bin")));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes);
    ASSERT_TRUE(waitUntil([&] { return primary.requestsTo("/firmware/StatisticsFirmware").size() == 1; }));
    EXPECT_EQ(primary.requestsTo("/firmware/StatisticsFirmware")[0].header("id"), "44");
    const QStringList left =
        QDir(downloads.filePath(QStringLiteral("Fenwyk Flashwell"))).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, QStringList{QStringLiteral("exact.bin")}) << "no temporary file is left behind";

    // Asked again: the cached file answers at once, with no request and no report.
    primary.clearRequests();
    QString again;
    SHttp::dowmFirmwaerFile(
        QStringLiteral("http://files/exact.bin"), &screen, [&](const QString &p) { again = p; }, nullptr, 44, 2000);
    EXPECT_EQ(again, path) << "synchronously";
    ASSERT_TRUE(waitUntil(networkIdle)) << "every request ended";
    EXPECT_TRUE(primary.requests().isEmpty());
}

TEST_F(HttpTest, CachedFileOfAnotherSizeIsDownloadedAgain)
{
    const QString folder = downloads.filePath(QStringLiteral("Fenwyk Flashwell"));
    QDir().mkpath(folder);
    QFile stale(folder + QStringLiteral("/fw.bin"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("truncated");
    stale.close();
    const QByteArray bytes = lab::patternBytes(3000, 8);
    primary.addRelease(release(8, 21, 1.5, 0, "fw.bin"), bytes);
    QString path;
    SHttp::dowmFirmwaerFile(
        QStringLiteral("http://files/fw.bin"), &screen, [&](const QString &p) { path = p; }, nullptr, 8, 3000);
    ASSERT_TRUE(waitUntil([&] { return !path.isEmpty(); }));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes);
}

struct SizeCase
{
    const char *what;
    int fileBytes;
    int releaseSize;
    void (*fault)(LabFirmwareServer::Faults &);
    int code; // 0: success
};

// Failure messages name the case instead of dumping its bytes.
[[maybe_unused]] void PrintTo(const SizeCase &c, std::ostream *os)
{
    *os << c.what;
}

class HttpDownloadSizes : public HttpTest, public ::testing::WithParamInterface<SizeCase>
{
};

TEST_P(HttpDownloadSizes, SizeRules)
{
    const SizeCase &c = GetParam();
    if (c.fault)
        c.fault(primary.faults);
    primary.addRelease(release(3, 21, 1.5, 0, "sized.bin"), lab::patternBytes(c.fileBytes));
    QString path;
    std::optional<HttpError> error;
    SHttp::dowmFirmwaerFile(
        QStringLiteral("http://files/sized.bin"), &screen, [&](const QString &p) { path = p; },
        [&](const HttpError &e) { error = e; }, 3, c.releaseSize);
    ASSERT_TRUE(waitUntil([&] { return !path.isEmpty() || error.has_value(); }, 8000)) << c.what;
    const QString finalName = downloads.filePath(QStringLiteral("Fenwyk Flashwell/sized.bin"));
    if (c.code == 0) {
        EXPECT_FALSE(path.isEmpty()) << c.what;
        return;
    }
    ASSERT_TRUE(error) << c.what;
    if (c.code > 0) {
        EXPECT_EQ(error->domain, QStringLiteral("Download Error")) << c.what;
        EXPECT_EQ(error->code, c.code) << c.what;
    }
    EXPECT_FALSE(error->description.isEmpty()) << c.what << ": a real error with a description";
    EXPECT_FALSE(QFile::exists(finalName)) << c.what << ": nothing under the final name";
    ASSERT_TRUE(waitUntil(networkIdle)) << "every request ended";
    EXPECT_TRUE(primary.requestsTo("/firmware/StatisticsFirmware").isEmpty()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, HttpDownloadSizes,
    ::testing::Values(SizeCase{"1999 bytes", 1999, 1999, nullptr, 1011}, SizeCase{"2000 bytes", 2000, 2000, nullptr, 0},
                      SizeCase{"one byte off", 2001, 2000, nullptr, 1010},
                      SizeCase{"short body", 5000, 5000, [](auto &f) { f.shortBody = true; }, 1011},
                      SizeCase{"length states more than sent", 3000, 3001, [](auto &f) { f.contentLengthDelta = 1; },
                               -1},
                      SizeCase{"500 page", 3000, 3000, [](auto &f) { f.http500 = true; }, 1011},
                      SizeCase{"slow body", 4000, 4000, [](auto &f) { f.slowBodyMs = 5; }, 0}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

TEST_F(HttpTest, FileNamesThatAreNoPlainFileAreRefused)
{
    for (const char *url :
         {"http://files/", "http://files/a/.", "http://files/a/..", "", "http://files/..%5C..%5Cevil.bin",
          "http://files/a%5Cb.bin", "http://files/a%2Fb.bin", "http://files/%2E%2E", "http://files/.hidden.bin",
          "http://files/line%0Abreak.bin", "http://files/tab%09.bin", "http://files/del%7F.bin"}) {
        std::optional<HttpError> error;
        SHttp::dowmFirmwaerFile(
            QString::fromLatin1(url), &screen, [](const QString &) {}, [&](const HttpError &e) { error = e; }, 1, 3000);
        ASSERT_TRUE(error) << url;
        EXPECT_EQ(error->code, 1013) << url;
    }
    EXPECT_TRUE(primary.requests().isEmpty());
}

TEST_F(HttpTest, FailedMoveIntoTheCacheIsAFailure)
{
    // A directory already stands under the final name, so the rename cannot succeed.
    QDir().mkpath(downloads.filePath(QStringLiteral("Fenwyk Flashwell/blocked.bin/inside")));
    primary.addRelease(release(6, 21, 1.5, 0, "blocked.bin"), lab::patternBytes(2500));
    std::optional<HttpError> error;
    bool succeeded = false;
    SHttp::dowmFirmwaerFile(
        QStringLiteral("http://files/blocked.bin"), &screen, [&](const QString &) { succeeded = true; },
        [&](const HttpError &e) { error = e; }, 6, 2500);
    ASSERT_TRUE(waitUntil([&] { return succeeded || error.has_value(); }));
    EXPECT_FALSE(succeeded);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 1012);
}

TEST_F(HttpTest, EncodedFileNameGoesBackEncoded)
{
    QJsonObject r = release(12, 21, 1.5, 0, "fw?v2.bin");
    r.insert(QStringLiteral("fileURL"), QStringLiteral("http://files.fenwyk.example/firmware/fw%3Fv2.bin"));
    const QByteArray bytes = lab::patternBytes(2400, 2);
    primary.addRelease(r, bytes);
    QString path;
    std::optional<HttpError> error;
    SHttp::dowmFirmwaerFile(
        r.value(QStringLiteral("fileURL")).toString(), &screen, [&](const QString &p) { path = p; },
        [&](const HttpError &e) { error = e; }, 12, 2400);
    ASSERT_TRUE(waitUntil([&] { return !path.isEmpty() || error; }));
    ASSERT_FALSE(error) << error->description.toStdString();
    EXPECT_EQ(path, downloads.filePath(QStringLiteral("Fenwyk Flashwell/fw?v2.bin")));
    ASSERT_EQ(primary.requests().first().path, "/firmwareFile/upload/fw%3Fv2.bin")
        << "the name is sent as the server wrote it, not as a query";
}

// Faults of the transfer itself: whatever the list, newest-release and download requests meet,
// they end, the list and the download in their failure blocks.
struct TransferFault
{
    const char *what;
    void (*apply)(LabFirmwareServer::Faults &);
};

// Failure messages name the case instead of dumping its bytes.
[[maybe_unused]] void PrintTo(const TransferFault &c, std::ostream *os)
{
    *os << c.what;
}

class HttpTransferFaults : public HttpTest, public ::testing::WithParamInterface<TransferFault>
{
};

TEST_P(HttpTransferFaults, EveryRequestEndsAndFailuresAreReported)
{
    ServerConfig config = ServerConfig::current();
    config.transferTimeoutMs = 400;
    ServerConfig::install(config);
    GetParam().apply(primary.faults);
    primary.addRelease(release(1, 21, 1.25, 0, "a.bin"), lab::patternBytes(2100));
    std::optional<HttpError> listFailure;
    std::optional<HttpError> downloadFailure;
    int successes = 0;
    SHttp::getUpdateFirmwaerWithType(
        21, &screen, [&](const auto &) { ++successes; }, [&](const HttpError &e) { listFailure = e; });
    SHttp::getNewVersion(
        21, 1.0f, 0, &screen, [&](const Firmware &) { ++successes; }, nullptr);
    SHttp::dowmFirmwaerFile(
        QStringLiteral("http://files/a.bin"), &screen, [&](const QString &) { ++successes; },
        [&](const HttpError &e) { downloadFailure = e; }, 1, 2100);
    ASSERT_TRUE(waitUntil([&] { return listFailure && downloadFailure; }, 10000)) << GetParam().what;
    EXPECT_EQ(successes, 0);
    EXPECT_FALSE(listFailure->description.isEmpty());
    EXPECT_FALSE(downloadFailure->description.isEmpty());
    EXPECT_TRUE(
        QDir(downloads.filePath(QStringLiteral("Fenwyk Flashwell"))).entryList(QDir::Files | QDir::Hidden).isEmpty())
        << "nothing is left in the cache folder";
    EXPECT_TRUE(primary.requestsTo("/firmware/StatisticsFirmware").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Faults, HttpTransferFaults,
                         ::testing::Values(TransferFault{"cut after the status line",
                                                         [](auto &f) { f.cutAfterStatusLine = true; }},
                                           TransferFault{"never answered", [](auto &f) { f.neverAnswer = true; }},
                                           TransferFault{"endless body", [](auto &f) { f.endlessBody = true; }}),
                         [](const auto &row) { return flashwell::test::testName(row.param.what); });

TEST_F(HttpTest, EndlessListReplyIsAbortedAtItsCap)
{
    primary.faults.endlessBody = true;
    std::optional<HttpError> failure;
    SHttp::getUpdateFirmwaerWithType(
        21, &screen, [](const auto &) {}, [&](const HttpError &e) { failure = e; });
    ASSERT_TRUE(waitUntil([&] { return failure.has_value(); }, 10000));
    EXPECT_TRUE(failure->description.contains(QStringLiteral("larger than"))) << failure->description.toStdString();
}

TEST_F(HttpTest, SlowButLivingDownloadOutlastsTheTimeOut)
{
    ServerConfig config = ServerConfig::current();
    config.transferTimeoutMs = 300;
    ServerConfig::install(config);
    primary.faults.slowBodyMs = 20; // 1 KiB every 20 ms: 0.6 s in all, twice the time-out
    const QByteArray bytes = lab::patternBytes(30 * 1024, 6);
    primary.addRelease(release(2, 21, 1.5, 0, "slow.bin"), bytes);
    QString path;
    std::optional<HttpError> error;
    SHttp::dowmFirmwaerFile(
        QStringLiteral("http://files/slow.bin"), &screen, [&](const QString &p) { path = p; },
        [&](const HttpError &e) { error = e; }, 2, static_cast<int>(bytes.size()));
    ASSERT_TRUE(waitUntil([&] { return !path.isEmpty() || error; }, 10000));
    EXPECT_FALSE(error) << error->description.toStdString();
}

TEST_F(HttpTest, WrongStatedLengthIsRefusedAtTheHeaders)
{
    primary.faults.slowBodyMs = 5; // the whole body would take about 2 s
    const QByteArray bytes = lab::patternBytes(400 * 1024, 5);
    primary.addRelease(release(3, 21, 1.5, 0, "big.bin"), bytes);
    std::optional<HttpError> error;
    qint64 sentAtFailure = -1;
    SHttp::dowmFirmwaerFile(
        QStringLiteral("http://files/big.bin"), &screen, [](const QString &) {},
        [&](const HttpError &e) {
            error = e;
            sentAtFailure = primary.bodyBytesSent();
        },
        3, static_cast<int>(bytes.size()) - 1);
    ASSERT_TRUE(waitUntil([&] { return error.has_value(); }, 10000));
    EXPECT_EQ(error->code, 1010);
    EXPECT_LT(sentAtFailure, bytes.size() / 4) << "the body was not waited for";
}

TEST_F(HttpTest, NoBlockRunsForAnObjectDestroyedBeforeTheReply)
{
    // The server never answers, so each request ends in its time-out; by then its object is gone.
    ServerConfig config = ServerConfig::current();
    config.transferTimeoutMs = 200;
    ServerConfig::install(config);
    primary.faults.neverAnswer = true;
    int calls = 0;
    {
        QObject owner;
        SHttp::getUpdateFirmwaerWithType(
            21, &owner, [&](const auto &) { ++calls; }, [&](const HttpError &) { ++calls; });
        SHttp::dowmFirmwaerFile(
            QStringLiteral("http://files/gone.bin"), &owner, [&](const QString &) { ++calls; },
            [&](const HttpError &) { ++calls; }, 4, 100 * 1024);
        ASSERT_TRUE(waitUntil([&] { return primary.requests().size() == 2; }));
    }
    ASSERT_TRUE(waitUntil(networkIdle)) << "every request ended";
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(
        QDir(downloads.filePath(QStringLiteral("Fenwyk Flashwell"))).entryList(QDir::Files | QDir::Hidden).isEmpty());

    // The same requests with a living object do end in its failure blocks.
    SHttp::getUpdateFirmwaerWithType(
        21, &screen, [&](const auto &) { ++calls; }, [&](const HttpError &) { ++calls; });
    SHttp::dowmFirmwaerFile(
        QStringLiteral("http://files/gone.bin"), &screen, [&](const QString &) { ++calls; },
        [&](const HttpError &) { ++calls; }, 4, 100 * 1024);
    EXPECT_TRUE(waitUntil([&] { return calls == 2; }));
}

struct DigestCase
{
    const char *what;
    const char *md5; // "good": the file's own digest
    bool cachedCopyDiffers;
    int code; // 0: success
};

// Failure messages name the case instead of dumping its bytes.
[[maybe_unused]] void PrintTo(const DigestCase &c, std::ostream *os)
{
    *os << c.what;
}

class HttpDigests : public HttpTest, public ::testing::WithParamInterface<DigestCase>
{
};

TEST_P(HttpDigests, DownloadMatchesTheReleaseDigest)
{
    const DigestCase &c = GetParam();
    const QByteArray bytes = lab::patternBytes(2600, 11);
    const QString good = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
    const QString md5 = QString::fromLatin1(c.md5) == QLatin1String("good")   ? good
                        : QString::fromLatin1(c.md5) == QLatin1String("GOOD") ? good.toUpper()
                                                                              : QString::fromLatin1(c.md5);
    const QString folder = downloads.filePath(QStringLiteral("Fenwyk Flashwell"));
    if (c.cachedCopyDiffers) {
        QDir().mkpath(folder);
        QFile stale(folder + QStringLiteral("/d.bin"));
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write(lab::patternBytes(2600, 12)); // right size, other bytes
    }
    primary.addRelease(release(9, 21, 1.5, 0, "d.bin"), bytes);
    QString path;
    std::optional<HttpError> error;
    SHttp::dowmFirmwaerFile(
        QStringLiteral("http://files/d.bin"), &screen, [&](const QString &p) { path = p; },
        [&](const HttpError &e) { error = e; }, 9, 2600, md5);
    ASSERT_TRUE(waitUntil([&] { return !path.isEmpty() || error; })) << c.what;
    if (c.code == 0) {
        ASSERT_FALSE(error) << c.what << ": " << error->description.toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), bytes) << c.what;
        return;
    }
    ASSERT_TRUE(error) << c.what;
    EXPECT_EQ(error->domain, QStringLiteral("Download Error"));
    EXPECT_EQ(error->code, c.code) << c.what;
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty()) << c.what << ": the file is removed";
    EXPECT_TRUE(primary.requestsTo("/firmware/StatisticsFirmware").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Digests, HttpDigests,
    ::testing::Values(DigestCase{"matching", "good", false, 0}, DigestCase{"upper case", "GOOD", false, 0},
                      DigestCase{"different", "00112233445566778899aabbccddeeff", false, 1014},
                      DigestCase{"empty", "", false, 0}, DigestCase{"malformed", "not-a-digest", false, 0},
                      DigestCase{"31 digits", "0011223344556677889900aabbccddeef", false, 0},
                      DigestCase{"stale cache replaced", "good", true, 0},
                      DigestCase{"stale cache and wrong digest", "00112233445566778899aabbccddeeff", true, 1014}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

TEST_F(HttpTest, ReleaseListedWithAWrongDigestFailsItsDownload)
{
    primary.faults.wrongMd5 = true;
    primary.addRelease(release(5, 21, 1.5, 0, "w.bin"), lab::patternBytes(2200));
    std::optional<QList<Firmware>> list;
    SHttp::getUpdateFirmwaerWithType(
        21, &screen, [&](const auto &l) { list = l.value_or(QList<Firmware>{}); }, nullptr);
    ASSERT_TRUE(waitUntil([&] { return list.has_value(); }));
    ASSERT_EQ(list->size(), 1);
    const Firmware f = list->first();
    std::optional<HttpError> error;
    SHttp::dowmFirmwaerFile(
        f.fileURL, &screen, [](const QString &) {}, [&](const HttpError &e) { error = e; }, f.id, f.fileSize, f.md5);
    ASSERT_TRUE(waitUntil([&] { return error.has_value(); }));
    EXPECT_EQ(error->code, 1014);
}

TEST(JsonMapping, EnvelopeMapsItsListOfRecords)
{
    const QJsonObject json{
        {QStringLiteral("msgState"), QStringLiteral("1")},
        {QStringLiteral("error"), QStringLiteral("none")},
        {QStringLiteral("List"),
         QJsonArray{QJsonObject{{QStringLiteral("id"), 4}, {QStringLiteral("fileSize"), QStringLiteral("77")}},
                    QStringLiteral("not an object"),
                    QJsonObject{{QStringLiteral("id"), 5}, {QStringLiteral("version"), QStringLiteral("x")}}}},
        {QStringLiteral("unknown"), 1}};
    const FirmwareMessage message = mapping::fromJson<FirmwareMessage>(json);
    EXPECT_EQ(message.msgState, 1);
    EXPECT_EQ(message.error, QStringLiteral("none"));
    ASSERT_EQ(message.List.size(), 2);
    EXPECT_EQ(message.List[0].fileSize, 77);
    EXPECT_EQ(message.List[1].id, 5);
    EXPECT_EQ(message.List[1].version, 0.0f) << "a non-numeric string leaves the number alone";
    EXPECT_FALSE(message[QStringLiteral("msgState")].isValid());
    // Out-of-range numbers are not wrapped into 32 bits.
    const Firmware huge = mapping::fromJson<Firmware>({{QStringLiteral("fileSize"), 1e12}});
    EXPECT_EQ(huge.fileSize, 0);
}

TEST(FirmwareName, ChineseInterfaceShowsTheProductNameForListedTypes)
{
    Firmware f;
    f.type = 21;
    f.setFileName(QStringLiteral("receiver_v2.bin"));
    {
        ScopedLanguages english({QStringLiteral("en-US")});
        EXPECT_EQ(f.fileName(), QStringLiteral("receiver_v2.bin"));
    }
    ScopedLanguages chinese({QStringLiteral("zh-Hans-CN")});
    EXPECT_EQ(f.fileName(), QString::fromUtf8("Fenwyk 雨燕 接收器"));
    f.type = 26;
    EXPECT_EQ(f.fileName(), QStringLiteral("receiver_v2.bin"));
}
