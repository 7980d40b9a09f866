// Catches: a client that asks the wrong server, runs a block twice or after a fault, or keeps a bad download.
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
#include <ostream>
#include <string>
#include <vector>

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

// Every operation goes to the chosen server only, each request with its method and header fields.
TEST_P(HttpServerChoice, EveryOperationAddressesTheChosenServerWithItsFields)
{
    const ServerChoice &c = GetParam();
    UserDefaults::standard().setObject(c.betaSwitch, QStringLiteral("UserDefaults_isBeta"));
    ScopedLanguages languages({QString::fromLatin1(c.language)});
    LabFirmwareServer *servers[] = {&primary, &china, &beta};
    for (LabFirmwareServer *s : servers)
        s->addRelease(release(9, 21, 1.5, 0, "fw.bin"), lab::patternBytes(3000));

    bool listed = false;
    bool newest = false;
    QString path;
    SHttp::getUpdateFirmwaerWithType(
        21, &screen, [&](const auto &) { listed = true; }, nullptr);
    SHttp::getNewVersion(
        21, 1.2f, 3, &screen, [&](const Firmware &) { newest = true; }, nullptr);
    SHttp::dowmFirmwaerFile(
        QStringLiteral("http://files/a/b/fw.bin"), &screen, [&](const QString &p) { path = p; }, nullptr, 9, 3000);
    ASSERT_TRUE(waitUntil([&] { return listed && newest && !path.isEmpty(); }));
    LabFirmwareServer &chosen = *servers[c.expected];
    ASSERT_TRUE(waitUntil([&] { return chosen.requests().size() == 4; })) << "the download report too";
    for (int i = 0; i < 3; ++i)
        if (i != c.expected) {
            EXPECT_TRUE(servers[i]->requests().isEmpty()) << "server " << i;
        }
    const struct
    {
        const char *path;
        const char *method;
        std::vector<std::pair<const char *, const char *>> fields;
    } requests[] = {
        {"/firmware/select", "POST", {{"type", "21"}, {"beta", "1"}}},
        {"/firmware/loadNewVersion", "POST", {{"version", "1.200000"}, {"beta", "3"}, {"isLoadBeta", "1"}}},
        {"/firmwareFile/upload/fw.bin", "GET", {}},
        {"/firmware/StatisticsFirmware", "GET", {{"id", "9"}, {"type", "2"}}},
    };
    for (const auto &r : requests) {
        const auto sent = chosen.requestsTo(r.path);
        ASSERT_EQ(sent.size(), 1) << r.path;
        EXPECT_EQ(sent[0].method, r.method) << r.path;
        for (const auto &[field, value] : r.fields)
            EXPECT_EQ(sent[0].header(field), value) << r.path << " " << field;
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

// The newest release is the highest version, then beta; an empty list succeeds empty and has no newest.
TEST_F(HttpTest, NewestReleaseIsTheHighestVersionAndBetaAndOfNothingSaysNothing)
{
    primary.addRelease(release(1, 21, 1.25, 0, "a.bin"), lab::patternBytes(2100));
    primary.addRelease(release(2, 21, 1.25, 2, "b.bin"), lab::patternBytes(2100));
    primary.addRelease(release(3, 21, 1.20, 0, "c.bin"), lab::patternBytes(2100));
    int id = 0;
    std::optional<QList<Firmware>> empty;
    bool newestOfNothing = false;
    SHttp::getNewVersion(
        21, 1.0f, 0, &screen, [&](const Firmware &f) { id = f.id; }, nullptr);
    SHttp::getUpdateFirmwaerWithType(
        33, &screen, [&](const auto &l) { empty = l.value_or(QList<Firmware>{Firmware{}}); }, nullptr);
    SHttp::getNewVersion(
        33, 1.0f, 0, &screen, [&](const Firmware &) { newestOfNothing = true; }, nullptr);
    ASSERT_TRUE(waitUntil([&] { return id != 0 && empty && primary.requests().size() == 3; }));
    ASSERT_TRUE(waitUntil(networkIdle)) << "every request ended";
    EXPECT_EQ(id, 2);
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_FALSE(newestOfNothing);
}

namespace {

const char *endName(RequestEnd end)
{
    switch (end) {
    case RequestEnd::Result:
        return "result";
    case RequestEnd::NoResult:
        return "no result";
    case RequestEnd::Error:
        return "error";
    case RequestEnd::Abandoned:
        return "abandoned";
    }
    return "?";
}

std::vector<std::string> names(const std::vector<RequestEnd> &ends)
{
    std::vector<std::string> out;
    for (const RequestEnd end : ends)
        out.emplace_back(endName(end));
    return out;
}

// What stands in the cache folder under the release's file name before the download.
enum class Cache { Nothing, OtherSize, SameSizeOtherBytes, Directory };

// One server or network fault, and how the list, the newest-release and the download requests
// must end under it: each exactly once, after its block, a failure with a real description, and
// a failed download leaving no file in the cache folder and sending no report.
struct Fault
{
    const char *what;
    void (*fault)(LabFirmwareServer::Faults &);
    RequestEnd list;
    int download;         // 0: the file; > 0: that error code; -1: some error
    int fileBytes = 3000; // the release's file
    int stated = 0;       // the size the release states (0: its file's)
    const char *md5 = ""; // "good" / "GOOD": the file's own digest; "listed": the one the list gave
    Cache cache = Cache::Nothing;
    int timeoutMs = 3000;
    const char *listSays = ""; // in the list's failure
    bool unreachable = false;  // no server at the address
    bool absent = false;       // the download asks for a file the server does not have
};

[[maybe_unused]] void PrintTo(const Fault &c, std::ostream *os)
{
    *os << c.what;
}

class HttpFaults : public HttpTest, public ::testing::WithParamInterface<Fault>
{
};

} // namespace

TEST_P(HttpFaults, EveryRequestEndsOnceAsItShould)
{
    const Fault &c = GetParam();
    ServerConfig config = ServerConfig::current();
    config.transferTimeoutMs = c.timeoutMs;
    if (c.unreachable)
        config.primary = QUrl(QStringLiteral("http://127.0.0.1:1/"));
    ServerConfig::install(config);
    if (c.fault)
        c.fault(primary.faults);
    const QByteArray bytes = lab::patternBytes(c.fileBytes, 11);
    const QString folder = downloads.filePath(QStringLiteral("Fenwyk Flashwell"));
    const QString finalName = folder + QStringLiteral("/f.bin");
    QDir().mkpath(folder);
    if (c.cache == Cache::Directory) {
        QDir().mkpath(finalName + QStringLiteral("/inside")); // the rename cannot succeed
    } else if (c.cache != Cache::Nothing) {
        QFile stale(finalName);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write(c.cache == Cache::OtherSize ? QByteArray("truncated") : lab::patternBytes(c.fileBytes, 12));
    }
    primary.addRelease(release(1, 21, 1.5, 0, "f.bin"), bytes);

    int blocks = 0;
    int blocksWhenEnded = -1;
    std::vector<RequestEnd> ends;
    std::optional<HttpError> listFailure;
    QString listedMd5;
    bool newest = false;
    SHttp::getUpdateFirmwaerWithType(
        21, &screen,
        [&](const auto &l) {
            ++blocks;
            if (l && !l->isEmpty())
                listedMd5 = l->first().md5;
        },
        [&](const HttpError &e) {
            ++blocks;
            listFailure = e;
        },
        [&](RequestEnd end) {
            ends.push_back(end);
            blocksWhenEnded = blocks;
        });
    ASSERT_TRUE(waitUntil([&] { return !ends.empty(); }, 10000));
    SHttp::getNewVersion(
        21, 1.0f, 0, &screen, [&](const Firmware &) { newest = true; }, nullptr);

    const QString good = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
    const QString md5 = QLatin1String(c.md5) == QLatin1String("good")     ? good
                        : QLatin1String(c.md5) == QLatin1String("GOOD")   ? good.toUpper()
                        : QLatin1String(c.md5) == QLatin1String("listed") ? listedMd5
                                                                          : QString::fromLatin1(c.md5);
    QString path;
    std::optional<HttpError> error;
    std::vector<RequestEnd> downloadEnds;
    SHttp::dowmFirmwaerFile(
        QStringLiteral("http://files/%1").arg(c.absent ? QStringLiteral("other.bin") : QStringLiteral("f.bin")),
        &screen, [&](const QString &p) { path = p; }, [&](const HttpError &e) { error = e; }, 1,
        c.stated ? c.stated : c.fileBytes, md5, [&](RequestEnd end) { downloadEnds.push_back(end); });
    ASSERT_TRUE(waitUntil([&] { return !path.isEmpty() || error.has_value(); }, 10000));
    ASSERT_TRUE(waitUntil(networkIdle)) << "every request ended";
    QCoreApplication::processEvents();

    EXPECT_EQ(names(ends), std::vector<std::string>{endName(c.list)});
    EXPECT_EQ(blocks, c.list == RequestEnd::NoResult ? 0 : 1);
    EXPECT_EQ(blocksWhenEnded, blocks) << "the ending comes after the block";
    EXPECT_EQ(newest, c.list == RequestEnd::Result);
    if (c.list == RequestEnd::Error) {
        ASSERT_TRUE(listFailure);
        EXPECT_FALSE(listFailure->description.isEmpty());
        EXPECT_TRUE(listFailure->description.contains(QLatin1String(c.listSays)))
            << listFailure->description.toStdString();
    }
    const auto reports = primary.requestsTo("/firmware/StatisticsFirmware").size();
    if (c.download == 0) {
        ASSERT_FALSE(error) << error->description.toStdString();
        EXPECT_EQ(names(downloadEnds), std::vector<std::string>{"result"});
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), bytes);
        EXPECT_EQ(reports, 1);
        return;
    }
    ASSERT_TRUE(error);
    EXPECT_EQ(names(downloadEnds), std::vector<std::string>{"error"});
    if (c.download > 0) {
        EXPECT_EQ(error->domain, QStringLiteral("Download Error"));
        EXPECT_EQ(error->code, c.download);
    }
    EXPECT_FALSE(error->description.isEmpty()) << "a real error with a description";
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty()) << "no file is left behind";
    EXPECT_EQ(reports, 0);
}

using F = LabFirmwareServer::Faults;
using E = RequestEnd;
INSTANTIATE_TEST_SUITE_P(
    Faults, HttpFaults,
    ::testing::Values(
        Fault{"none", nullptr, E::Result, 0},
        // The server answers without a list: no block runs.
        Fault{"msgState 0", [](F &f) { f.msgState0 = true; }, E::NoResult, 0},
        Fault{"not JSON", [](F &f) { f.nonJson = true; }, E::NoResult, 0},
        Fault{"500 with HTML", [](F &f) { f.http500 = true; }, E::NoResult, 1011},
        // The transfer itself fails.
        Fault{"cut after the status line", [](F &f) { f.cutAfterStatusLine = true; }, E::Error, -1, 3000, 0, "",
              Cache::Nothing, 400},
        Fault{"never answered", [](F &f) { f.neverAnswer = true; }, E::Error, -1, 3000, 0, "", Cache::Nothing, 400},
        Fault{"endless body", [](F &f) { f.endlessBody = true; }, E::Error, -1, 3000, 0, "", Cache::Nothing, 400,
              "larger than"},
        Fault{"no server", nullptr, E::Error, -1, 3000, 0, "", Cache::Nothing, 3000, "", true},
        Fault{"not on the server", nullptr, E::Result, -1, 3000, 0, "", Cache::Nothing, 3000, "", false, true},
        // Sizes: at least 2000 bytes, exactly as stated and as the release says.
        Fault{"1999 bytes", nullptr, E::Result, 1011, 1999}, Fault{"2000 bytes", nullptr, E::Result, 0, 2000},
        Fault{"one byte off", nullptr, E::Result, 1010, 2001, 2000},
        Fault{"short body", [](F &f) { f.shortBody = true; }, E::Result, 1011, 5000},
        Fault{"length states more than sent", [](F &f) { f.contentLengthDelta = 1; }, E::Result, -1, 3000, 3001},
        Fault{"slow body", [](F &f) { f.slowBodyMs = 5; }, E::Result, 0, 4000},
        // 1 KiB every 20 ms: 0.6 s in all, twice the time-out, which counts from the last byte.
        Fault{"slow but living", [](F &f) { f.slowBodyMs = 20; }, E::Result, 0, 30 * 1024, 0, "", Cache::Nothing, 300},
        // Digests: checked when the release gives a well-formed one, in any case.
        Fault{"matching digest", nullptr, E::Result, 0, 2600, 0, "good"},
        Fault{"upper case digest", nullptr, E::Result, 0, 2600, 0, "GOOD"},
        Fault{"different digest", nullptr, E::Result, 1014, 2600, 0, "00112233445566778899aabbccddeeff"},
        Fault{"malformed digest", nullptr, E::Result, 0, 2600, 0, "not-a-digest"},
        Fault{"31 digit digest", nullptr, E::Result, 0, 2600, 0, "0011223344556677889900aabbccddeef"},
        Fault{"digest the list gave wrongly", [](F &f) { f.wrongMd5 = true; }, E::Result, 1014, 2600, 0, "listed"},
        // The cache: a file there is used only when it has the release's size and digest.
        Fault{"stale cache of another size", nullptr, E::Result, 0, 3000, 0, "", Cache::OtherSize},
        Fault{"stale cache replaced", nullptr, E::Result, 0, 2600, 0, "good", Cache::SameSizeOtherBytes},
        Fault{"stale cache and wrong digest", nullptr, E::Result, 1014, 2600, 0, "00112233445566778899aabbccddeeff",
              Cache::SameSizeOtherBytes},
        Fault{"a directory in the way", nullptr, E::Result, 1012, 2500, 0, "", Cache::Directory}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

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
    std::vector<RequestEnd> ends;
    SHttp::dowmFirmwaerFile(
        QStringLiteral("http://files/exact.bin"), &screen, [&](const QString &p) { again = p; }, nullptr, 44, 2000,
        QString(), [&](RequestEnd end) { ends.push_back(end); });
    EXPECT_EQ(again, path) << "synchronously";
    EXPECT_EQ(names(ends), std::vector<std::string>{"result"}) << "inside the call";
    ASSERT_TRUE(waitUntil(networkIdle)) << "every request ended";
    EXPECT_TRUE(primary.requests().isEmpty());
}

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
    std::vector<RequestEnd> ends;
    const auto ended = [&](RequestEnd end) { ends.push_back(end); };
    {
        QObject owner;
        SHttp::getUpdateFirmwaerWithType(
            21, &owner, [&](const auto &) { ++calls; }, [&](const HttpError &) { ++calls; }, ended);
        SHttp::dowmFirmwaerFile(
            QStringLiteral("http://files/gone.bin"), &owner, [&](const QString &) { ++calls; },
            [&](const HttpError &) { ++calls; }, 4, 100 * 1024, QString(), ended);
        ASSERT_TRUE(waitUntil([&] { return primary.requests().size() == 2; }));
    }
    EXPECT_EQ(names(ends), (std::vector<std::string>{"abandoned", "abandoned"})) << "told as the object goes";
    ASSERT_TRUE(waitUntil(networkIdle)) << "every request ended";
    QCoreApplication::processEvents();
    EXPECT_EQ(ends.size(), 2u) << "once";
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
