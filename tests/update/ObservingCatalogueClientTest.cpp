// Catches: a request's ending miscounted, kept or passed on wrongly, a download watched after its caller.
#include "update/ObservingCatalogueClient.h"

#include <QObject>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/FakeCatalogue.h"

using namespace flashwell;
using flashwell::test::FakeCatalogue;
using flashwell::test::release;

namespace {

const HttpError kOffline{QStringLiteral("Network"), 1, QStringLiteral("offline")};

struct ListEnding
{
    const char *name;
    void (*end)(FakeCatalogue &server);
    RequestEnd expected;
    int listed; // the caller's success block
    int failed; // the caller's failure block
    bool error; // lastError() holds the failure
};

[[maybe_unused]] void PrintTo(const ListEnding &c, std::ostream *os)
{
    *os << c.name;
}

class ObservedListEndings : public ::testing::TestWithParam<ListEnding>
{
protected:
    FakeCatalogue server;
    ObservingCatalogueClient client{server};
    QObject screen;
};

} // namespace

TEST_P(ObservedListEndings, EachEndingIsCountedKeptAndPassedOn)
{
    const ListEnding &c = GetParam();
    int listed = 0;
    int failed = 0;
    std::vector<RequestEnd> ends;
    client.getUpdateFirmwaerWithType(
        12, &screen, [&](const QList<Firmware> &) { ++listed; }, [&](const HttpError &) { ++failed; },
        [&](RequestEnd end) { ends.push_back(end); });
    ASSERT_EQ(server.lists.size(), 1u);
    EXPECT_EQ(server.lists[0].type, 12);
    EXPECT_EQ(client.inFlight(), 1);
    EXPECT_FALSE(client.listEnd()) << "out";

    c.end(server);
    EXPECT_EQ(client.inFlight(), 0);
    ASSERT_TRUE(client.listEnd());
    EXPECT_EQ(*client.listEnd(), c.expected);
    EXPECT_EQ(listed, c.listed);
    EXPECT_EQ(failed, c.failed);
    EXPECT_EQ(client.lastError().has_value(), c.error);
    EXPECT_EQ(client.lastError().value_or(HttpError{}).description, c.error ? kOffline.description : QString());
    ASSERT_EQ(ends.size(), 1u) << "the caller hears the ending once";
    EXPECT_EQ(ends[0], c.expected);

    // The next request starts afresh.
    client.getUpdateFirmwaerWithType(12, &screen, nullptr, nullptr, nullptr);
    EXPECT_EQ(client.inFlight(), 1);
    EXPECT_FALSE(client.listEnd());
    EXPECT_FALSE(client.lastError());
}

INSTANTIATE_TEST_SUITE_P(Endings, ObservedListEndings,
                         ::testing::Values(ListEnding{"List", [](FakeCatalogue &s) { s.answer({release(1.05f)}); },
                                                      RequestEnd::Result, 1, 0, false},
                                           ListEnding{"NoList", [](FakeCatalogue &s) { s.answerWithoutList(); },
                                                      RequestEnd::NoResult, 0, 0, false},
                                           ListEnding{"Error", [](FakeCatalogue &s) { s.failList(kOffline); },
                                                      RequestEnd::Error, 0, 1, true}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(ObservingCatalogueClient, DownloadsAreCountedAndWatchedBeforeTheCaller)
{
    FakeCatalogue server;
    ObservingCatalogueClient client(server);
    QObject screen;
    std::vector<std::string> order;
    client.setDownloadWatcher([&](const QString &path) { order.push_back("watcher " + path.toStdString()); });

    server.downloadMode = FakeCatalogue::Download::Wait;
    client.dowmFirmwaerFile(
        release(1.05f), &screen, [&](const QString &path) { order.push_back("caller " + path.toStdString()); }, nullptr,
        nullptr);
    EXPECT_EQ(client.inFlight(), 1) << "still out";
    EXPECT_TRUE(order.empty());

    server.downloadMode = FakeCatalogue::Download::Fail;
    std::optional<RequestEnd> failedEnd;
    client.dowmFirmwaerFile(release(1.05f), &screen, nullptr, nullptr, [&](RequestEnd end) { failedEnd = end; });
    EXPECT_EQ(client.inFlight(), 1) << "the failed one ended; the waiting one is still out";
    EXPECT_EQ(failedEnd, RequestEnd::Error);
    ASSERT_TRUE(client.lastError());
    EXPECT_EQ(client.lastError()->code, 1011);
    EXPECT_TRUE(order.empty()) << "no file, nothing to watch";

    server.downloadMode = FakeCatalogue::Download::Succeed;
    client.dowmFirmwaerFile(
        release(1.05f), &screen, [&](const QString &path) { order.push_back("caller " + path.toStdString()); }, nullptr,
        nullptr);
    EXPECT_EQ(client.inFlight(), 1);
    EXPECT_FALSE(client.lastError()) << "cleared by the next request";
    EXPECT_EQ(order, (std::vector<std::string>{"watcher /tmp/fw.bin", "caller /tmp/fw.bin"}));
}

TEST(ObservingCatalogueClient, RequestsMayEndAfterTheClient)
{
    FakeCatalogue server;
    bool listed = false;
    std::optional<RequestEnd> end;
    {
        ObservingCatalogueClient client(server);
        client.getUpdateFirmwaerWithType(
            12, nullptr, [&](const QList<Firmware> &) { listed = true; }, nullptr, [&](RequestEnd e) { end = e; });
    }
    server.answer({release(1.05f)});
    EXPECT_TRUE(listed);
    EXPECT_EQ(end, RequestEnd::Result);
}
