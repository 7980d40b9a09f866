#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "server/LabFirmwareServer.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/EventLoop.h"
#include "support/NetworkIdle.h"
#include "support/TestSupport.h"

#include <memory>
#include <ostream>
#include <vector>

using namespace flashwell;
using flashwell::lab::LabFirmwareServer;
using flashwell::test::networkIdle;
using flashwell::test::waitUntil;

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

class RequestEndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SHttp::network().setProxy(QNetworkProxy::NoProxy);
        ASSERT_TRUE(server.listen());
        ServerConfig config;
        config.primary = server.baseUrl();
        config.china = server.baseUrl();
        config.beta = server.baseUrl();
        config.downloadsRoot = downloads.path();
        config.transferTimeoutMs = 3000;
        ServerConfig::install(config);
        QJsonObject release{{QStringLiteral("id"), 5},
                            {QStringLiteral("type"), 21},
                            {QStringLiteral("version"), 1.5},
                            {QStringLiteral("beta"), 0},
                            {QStringLiteral("fileName"), QStringLiteral("fw.bin")}};
        server.addRelease(release, QByteArray(3000, 'x'));
    }
    void TearDown() override { ServerConfig::install(std::nullopt); }

    // Waits for the first ending, then for the network to settle, so that a second ending would
    // have been heard too.
    void settle(const std::vector<RequestEnd> &ends)
    {
        ASSERT_TRUE(waitUntil([&] { return !ends.empty(); }));
        ASSERT_TRUE(waitUntil(networkIdle));
        QCoreApplication::processEvents();
    }

    QTemporaryDir downloads;
    LabFirmwareServer server;
};

struct ListEnding
{
    const char *what;
    void (*apply)(LabFirmwareServer::Faults &);
    bool abandon; // the object the blocks belong to is destroyed while the request is out
    RequestEnd expected;
    int blocks; // success and failure calls together
};

[[maybe_unused]] void PrintTo(const ListEnding &c, std::ostream *os)
{
    *os << c.what;
}

class ListEndings : public RequestEndTest, public ::testing::WithParamInterface<ListEnding>
{
};

} // namespace

TEST_P(ListEndings, EveryEndingIsToldOnceAfterTheBlocks)
{
    const ListEnding &c = GetParam();
    if (c.apply)
        c.apply(server.faults);
    auto context = std::make_unique<QObject>();
    int blocks = 0;
    std::vector<RequestEnd> ends;
    int blocksWhenEnded = -1;
    SHttp::getUpdateFirmwaerWithType(
        21, context.get(), [&](const auto &) { ++blocks; }, [&](const HttpError &) { ++blocks; },
        [&](RequestEnd end) {
            ends.push_back(end);
            blocksWhenEnded = blocks;
        });
    if (c.abandon) {
        ASSERT_TRUE(waitUntil([&] { return server.requests().size() == 1; }));
        context.reset();
        EXPECT_EQ(names(ends), std::vector<std::string>{"abandoned"}) << "told as the context goes";
    }
    settle(ends);
    EXPECT_EQ(names(ends), std::vector<std::string>{endName(c.expected)});
    EXPECT_EQ(blocks, c.blocks);
    EXPECT_EQ(blocksWhenEnded, c.blocks) << "the ending comes after the block";
}

INSTANTIATE_TEST_SUITE_P(
    Endings, ListEndings,
    ::testing::Values(ListEnding{"a list", nullptr, false, RequestEnd::Result, 1},
                      ListEnding{"msgState 0", [](auto &f) { f.msgState0 = true; }, false, RequestEnd::NoResult, 0},
                      ListEnding{"not JSON", [](auto &f) { f.nonJson = true; }, false, RequestEnd::NoResult, 0},
                      ListEnding{"500 with HTML", [](auto &f) { f.http500 = true; }, false, RequestEnd::NoResult, 0},
                      ListEnding{"cut after the status line", [](auto &f) { f.cutAfterStatusLine = true; }, false,
                                 RequestEnd::Error, 1},
                      ListEnding{"caller gone", [](auto &f) { f.neverAnswer = true; }, true, RequestEnd::Abandoned, 0}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

TEST_F(RequestEndTest, DownloadsTellTheirEndingToo)
{
    QObject context;
    std::vector<RequestEnd> ends;
    QString path;
    const auto download = [&] {
        SHttp::dowmFirmwaerFile(
            QStringLiteral("http://x/fw.bin"), &context, [&](const QString &p) { path = p; }, nullptr, 5, 3000,
            QString(), [&](RequestEnd end) { ends.push_back(end); });
    };
    download();
    settle(ends);
    EXPECT_FALSE(path.isEmpty());
    EXPECT_EQ(names(ends), std::vector<std::string>{"result"});

    ends.clear();
    path.clear();
    download();
    EXPECT_EQ(names(ends), std::vector<std::string>{"result"}) << "the cached file, inside the call";

    ends.clear();
    SHttp::dowmFirmwaerFile(QStringLiteral("http://x/other.bin"), &context, nullptr, nullptr, 6, 3000, QString(),
                            [&](RequestEnd end) { ends.push_back(end); });
    settle(ends);
    EXPECT_EQ(names(ends), std::vector<std::string>{"error"}) << "not on the server";
}
