// Catches: an activity report sent twice a day, kept after failing, or with a wrong header, address or region.
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/UserDefaults.h"
#include "server/LabFirmwareServer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPointer>
#include <QRegularExpression>
#include <QSysInfo>

#include <gtest/gtest.h>

#include "support/EventLoop.h"
#include "support/NetworkIdle.h"
#include "support/TestSupport.h"

using namespace flashwell;
using flashwell::lab::LabFirmwareServer;
using flashwell::test::networkIdle;
using flashwell::test::ScopedLanguages;
using flashwell::test::waitUntil;

namespace {

const QString kUnknownRegion = SHttp::utf8ToUnicode(QString::fromUtf8("未识别地区"));

class ActivityTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SHttp::network().setProxy(QNetworkProxy::NoProxy);
        ASSERT_TRUE(server.listen());
        ServerConfig config;
        config.primary = config.china = config.beta = server.baseUrl();
        config.ipEchoPage1 = server.baseUrl().resolved(QUrl(QStringLiteral("ip")));
        config.ipEchoPage2 = server.baseUrl().resolved(QUrl(QStringLiteral("ip2")));
        ServerConfig::install(config);
        for (const char *key : {"localActivityTimer", "localActivityController"})
            UserDefaults::standard().removeObjectForKey(QString::fromLatin1(key));
    }
    void TearDown() override { ServerConfig::install(std::nullopt); }

    QList<LabFirmwareServer::Request> reports() const { return server.requestsTo("/firmware/Activity"); }
    QString list() const { return UserDefaults::standard().stringForKey(QStringLiteral("localActivityController")); }
    // Attaches a device of `type`; when the once-per-day rule lets a report go, waits until the
    // report has been recorded (the list has grown).
    void attach(int type)
    {
        const QString before = list();
        if (SHttp::recordActivity(type)) {
            EXPECT_TRUE(waitUntil([&] { return list() != before; })) << "report of type " << type << " recorded";
        }
    }

    LabFirmwareServer server;
};

} // namespace

TEST_F(ActivityTest, FirstAttachReportsWithEveryHeaderAndRecordsOnSuccess)
{
    ScopedLanguages english({QStringLiteral("en-US")});
    const double before = static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    attach(21);
    ASSERT_EQ(reports().size(), 1);
    const auto r = reports()[0];
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.header("mac"), SHttp::getID().toUtf8());
    EXPECT_EQ(r.header("macName"), SHttp::getComputerName().toUtf8());
    EXPECT_EQ(r.header("platform"), "2");
    EXPECT_EQ(r.header("type"), "1");
    EXPECT_EQ(r.header("controller"), "21");
    EXPECT_EQ(r.header("ip"), "203.0.113.7");
    EXPECT_EQ(r.header("region"), "\\u0020Fenwyk\\u0020Harbour");
    EXPECT_EQ(list(), QStringLiteral("21,"));
    EXPECT_GE(UserDefaults::standard().objectForKey(QStringLiteral("localActivityTimer")).toDouble(), before - 1);
}

TEST_F(ActivityTest, OncePerDayPerTypeWithThePlainSubstringRule)
{
    attach(21);
    ASSERT_EQ(reports().size(), 1);
    attach(21);
    EXPECT_EQ(reports().size(), 1) << "same type within the day";
    attach(1);
    EXPECT_EQ(reports().size(), 1) << "\"1\" is found in \"21,\"";
    attach(3);
    EXPECT_EQ(reports().size(), 2) << "a new type is reported";
    EXPECT_EQ(list(), QStringLiteral("21,3,"));

    const double dayAgo = static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - 86401;
    UserDefaults::standard().setObject(dayAgo, QStringLiteral("localActivityTimer"));
    attach(21);
    EXPECT_EQ(reports().size(), 3) << "after a day any attach reports";
    EXPECT_EQ(list(), QStringLiteral("21,3,21,"));
}

TEST_F(ActivityTest, AttachesBeforeTheFirstReportCompletesEachReport)
{
    for (int i = 0; i < 3; ++i)
        SHttp::recordActivity(40);
    ASSERT_TRUE(waitUntil([&] { return reports().size() == 3; }));
    ASSERT_TRUE(waitUntil([&] { return list() == QStringLiteral("40,40,40,"); }));
}

TEST_F(ActivityTest, FailedReportIsNotRecorded)
{
    ServerConfig config = ServerConfig::current();
    config.primary = config.china = config.beta = QUrl(QStringLiteral("http://127.0.0.1:1/"));
    ServerConfig::install(config);
    SHttp::recordActivity(7);
    ASSERT_TRUE(waitUntil([&] { return server.requestsTo("/ip").size() == 1; }));
    ASSERT_TRUE(waitUntil(networkIdle)) << "every request ended";
    EXPECT_TRUE(list().isEmpty());
    EXPECT_FALSE(UserDefaults::standard().objectForKey(QStringLiteral("localActivityTimer")).isValid());
}

TEST_F(ActivityTest, SecondPageIsAskedWhenTheFirstHasNoAddress)
{
    ScopedLanguages english({QStringLiteral("en-US")});
    server.setIpPage(QStringLiteral("<html>no address here</html>"));
    attach(12);
    ASSERT_EQ(reports().size(), 1);
    EXPECT_EQ(server.requestsTo("/ip2").size(), 1);
    EXPECT_EQ(reports()[0].header("ip"), "198.51.100.20");
    EXPECT_EQ(reports()[0].header("region"), "\\u0020Fenwyk\\u0020Bay");
}

TEST_F(ActivityTest, NoAddressAnywhereSendsTheFallbackForTheLanguage)
{
    server.setIpPage(QStringLiteral("<html>none</html>"));
    server.setIpPage2(QStringLiteral("<html>none either</html>"));
    {
        ScopedLanguages english({QStringLiteral("en-US")});
        attach(13);
    }
    ASSERT_EQ(reports().size(), 1);
    EXPECT_EQ(reports()[0].header("ip"), "0.0.0.1");
    EXPECT_EQ(reports()[0].header("region"), kUnknownRegion.toUtf8());
    UserDefaults::standard().removeObjectForKey(QStringLiteral("localActivityController"));
    {
        ScopedLanguages chinese({QStringLiteral("zh-Hans-CN")});
        attach(13);
    }
    ASSERT_EQ(reports().size(), 2);
    EXPECT_EQ(reports()[1].header("ip"), "0.0.0.0");
}

TEST(MachineId, KeyedHashShapedAsAUuidNeverTheMachineIdItself)
{
    const QString id = SHttp::getID();
    const QByteArray machine = QSysInfo::machineUniqueId().trimmed();
    if (machine.isEmpty()) {
        EXPECT_TRUE(id.isEmpty()) << "no machine ID, nothing to send";
        return;
    }
    static const QRegularExpression uuid(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-8[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"));
    EXPECT_TRUE(uuid.match(id).hasMatch()) << id.toStdString();
    EXPECT_EQ(SHttp::getID(), id) << "stable, as the once-per-day rule needs";
    QString plain = id;
    plain.remove(QLatin1Char('-'));
    EXPECT_FALSE(QString::fromLatin1(machine).contains(plain, Qt::CaseInsensitive));
    EXPECT_FALSE(plain.contains(QString::fromLatin1(machine.left(16)), Qt::CaseInsensitive));
}

// The IP page has a time-out of its own, 5000 s (a slow echo service does not fail the report on
// its own), and its reply is let go once its block has run.
TEST_F(ActivityTest, IpPageHasItsOwnTimeOutAndLetsGoOfItsReply)
{
    const QUrl url = ServerConfig::current().ipEchoPage1;
    std::optional<QString> address;
    SHttp::HttpGetPageHtml([&](const QString &ip) { address = ip; }, url, QStringConverter::Utf8);
    QPointer<QNetworkReply> reply;
    for (QNetworkReply *r : SHttp::network().findChildren<QNetworkReply *>())
        if (r->url() == url && !r->isFinished())
            reply = r;
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->request().transferTimeout(), 5000 * 1000);
    ASSERT_TRUE(waitUntil([&] { return address.has_value(); }));
    EXPECT_EQ(*address, QStringLiteral("203.0.113.7"));
    EXPECT_TRUE(waitUntil([&] { return reply.isNull(); })) << "the reply is still held";
}

// The same machine gives the same ID in every version of the program: the hash, its key and the
// UUID version and variant bits are fixed.
TEST(MachineId, IsTheKeyedHashWithVersionAndVariantBits)
{
    const struct
    {
        QByteArray machine;
        QString id;
    } cases[] = {
        {"0123456789abcdef0123456789abcdef", QStringLiteral("2D204913-E18E-8FAF-8239-AA03B0285757")},
        {"machine-a", QStringLiteral("06C607F5-AF7D-82BB-BAED-7351F88002B2")},
        {"\xff", QStringLiteral("F0CF0241-2775-8920-9DC1-C0F119900B1F")},
        {"", QString()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SHttp::idFor(c.machine), c.id) << c.machine.toHex().toStdString();
}

TEST(IpPage, AddressAndRegionParsing)
{
    const struct
    {
        const char *page;
        const char *address; // nullptr: none
        const char *region;  // escaped; nullptr: the unknown-region text
    } rows[] = {
        {"<p>Your IP 203.0.113.7 Fenwyk Harbour</p>", "203.0.113.7", "\\u0020Fenwyk\\u0020Harbour"},
        {"1234.5.6.78<b>", "234.5.6.78", ""},
        {"256.1.1.1 x<", "56.1.1.1", "\\u0020x"},
        {"10.0.0.1 and a region far too long to fit in the fifty character window<", "10.0.0.1", nullptr},
        {"no address at all", nullptr, nullptr},
        {"<td>0.0.0.0</td>", "0.0.0.0", ""},
    };
    for (const auto &row : rows) {
        const QString address = SHttp::getIPFormHtml(QString::fromUtf8(row.page));
        if (row.address) {
            EXPECT_EQ(address, QString::fromLatin1(row.address)) << row.page;
        } else {
            EXPECT_TRUE(address.isNull()) << row.page;
        }
        EXPECT_EQ(SHttp::regionText(), row.region ? QString::fromLatin1(row.region) : kUnknownRegion) << row.page;
    }
    const QString before = SHttp::regionText();
    EXPECT_TRUE(SHttp::getIPFormHtml(QString()).isNull());
    EXPECT_EQ(SHttp::regionText(), before) << "an absent page leaves the region alone";
}

TEST(Escaping, EveryUnitButAsciiLettersAndDigits)
{
    EXPECT_EQ(SHttp::utf8ToUnicode(QStringLiteral("a b")), QStringLiteral("a\\u0020b"));
    EXPECT_EQ(SHttp::utf8ToUnicode(QStringLiteral("Zz09-_")), QStringLiteral("Zz09\\u002d\\u005f"));
    EXPECT_EQ(SHttp::utf8ToUnicode(QString::fromUtf8("区")), QStringLiteral("\\u533a"));
    // A character outside the basic plane goes out as its two UTF-16 units.
    EXPECT_EQ(SHttp::utf8ToUnicode(QString::fromUtf8("\xF0\x9F\x8E\xAE")), QStringLiteral("\\ud83c\\udfae"));
    EXPECT_FALSE(SHttp::getComputerName().contains(QLatin1Char(' ')));
}
