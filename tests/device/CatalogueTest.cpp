// Catches: a catalogue parsed, merged into the chooser or named wrongly, or a shipped entry missing.
#include "device/Language.h"
#include "device/SFenwykDevice.h"
#include "device/SFenwykDeviceDetailsTools.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <QSet>

#include <map>
#include <set>
#include <vector>

using namespace flashwell;
using flashwell::test::entry;
using flashwell::test::ScopedCatalogue;
using flashwell::test::ScopedLanguages;

namespace {
QByteArray plist(const char *body)
{
    return QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0">)") + body + "</plist>";
}
} // namespace

TEST(Catalogue, ParsesEntriesInFileOrderAndIgnoresUnknownKeys)
{
    const auto entries = SFenwykDeviceDetailsTools::parseCatalogue(plist(R"(<array>
        <dict><key>name</key><string>Fenwyk Crane</string><key>pid</key><integer>12544</integer>
              <key>vid</key><integer>11720</integer><key>type</key><integer>-3</integer>
              <key>order</key><integer>7</integer><key>miniImageName</key><string>mini_crane</string>
              <key>colour</key><string>ignored</string></dict>
        <dict><key>name</key><string>Fenwyk Wren</string></dict>
        </array>)"));
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0]->storedName(), QStringLiteral("Fenwyk Crane"));
    EXPECT_EQ(entries[0]->pid, 0x3100);
    EXPECT_EQ(entries[0]->vid, 0x2DC8);
    EXPECT_EQ(entries[0]->type, -3);
    EXPECT_EQ(entries[0]->order, 7);
    EXPECT_EQ(entries[0]->miniImageName, QStringLiteral("mini_crane"));
    // Missing keys leave their properties at 0 or null.
    EXPECT_EQ(entries[1]->pid, 0);
    EXPECT_EQ(entries[1]->type, 0);
    EXPECT_TRUE(entries[1]->moreImage.isNull());
}

TEST(Catalogue, MalformedInputGivesAnEmptyCatalogue)
{
    for (const QByteArray &bad : {QByteArray(), QByteArray("not a plist at all"), plist("<dict></dict>"),
                                  plist("<array><string>x</string></array>"), plist("<array><dict><key>pid")}) {
        EXPECT_TRUE(SFenwykDeviceDetailsTools::parseCatalogue(bad).isEmpty()) << bad.constData();
    }
}

// The chooser shows the first entry of each order, in catalogue order, and never merges products
// of different firmware types.
TEST(Catalogue, ChooserTakesTheFirstEntryOfEachOrderAndTypeInCatalogueOrder)
{
    const struct
    {
        const char *what;
        std::vector<std::pair<int64_t, int32_t>> entries; // order, type
        std::vector<uint16_t> chooserPids;                // entries are numbered from pid 1
    } rows[] = {
        {"first of each order", {{3, 1}, {1, 1}, {3, 1}, {2, 1}}, {1, 2, 4}},
        {"one order, three types", {{12, 14}, {12, 15}, {12, 16}}, {1, 2, 3}},
        {"one order, one type twice", {{3, 2}, {3, 2}}, {1}},
        {"types interleaved", {{5, 4}, {5, 5}, {5, 4}, {5, 5}, {6, 4}}, {1, 2, 5}},
        {"one type under two orders", {{2, 2}, {3, 2}}, {1, 2}},
    };
    for (const auto &row : rows) {
        SFenwykCatalogue entries;
        uint16_t pid = 1;
        for (const auto &[order, type] : row.entries)
            entries.append(entry(pid++, 0x2DC8, type, "Fenwyk X", order));
        ScopedCatalogue scoped(entries);
        std::vector<uint16_t> pids;
        for (const auto &e : SFenwykDeviceDetailsTools::getMoreFenwykDevicePIDVIDAndNAMEs())
            pids.push_back(e->pid);
        EXPECT_EQ(pids, row.chooserPids) << row.what;
    }
}

TEST(Catalogue, ShippedCatalogueGivesEveryFirmwareTypeItsOwnChooserItem)
{
    const auto &all = SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs();
    ASSERT_EQ(all.size(), 56);
    // The data itself: a chooser item stands for one firmware type.
    std::map<int64_t, std::set<int32_t>> typesByOrder;
    for (const auto &e : all)
        typesByOrder[e->order].insert(e->type);
    for (const auto &[order, types] : typesByOrder)
        EXPECT_EQ(types.size(), 1u) << "order " << order << " holds " << types.size() << " firmware types";
    // And so every product can be reached: its type is the type of an item the chooser shows.
    const auto chooser = SFenwykDeviceDetailsTools::getMoreFenwykDevicePIDVIDAndNAMEs();
    EXPECT_EQ(chooser.size(), static_cast<qsizetype>(typesByOrder.size()));
    for (const auto &e : all) {
        const bool reachable =
            std::any_of(chooser.begin(), chooser.end(), [&](const auto &item) { return item->type == e->type; });
        EXPECT_TRUE(reachable) << qPrintable(e->storedName());
    }
}

TEST(Catalogue, NoProductIsFiledUnderTheTypeOfAReceiverItDoesNotShipAs)
{
    // A product that ships with a receiver finds the receiver's releases under its own type plus 1;
    // only that receiver may be filed there (the two-product receiver 0x3109/0x3013 is the receiver
    // of types 41 and 43).
    const auto &all = SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs();
    const std::map<int32_t, std::set<uint16_t>> receiverPids = {
        {42, {0x3109}}, {44, {0x3013}}, {49, {}}, {52, {}}, {58, {}}};
    for (const auto &carrier : all) {
        SFenwykDevice device;
        device.setDetails(carrier);
        device.details(); // the lookup marks a product that ships with a receiver
        if (!device.isCarryRR)
            continue;
        const int32_t receiverType = carrier->type + 1;
        ASSERT_TRUE(receiverPids.count(receiverType)) << qPrintable(carrier->storedName());
        for (const auto &e : all) {
            if (e->type == receiverType) {
                EXPECT_TRUE(receiverPids.at(receiverType).count(e->pid))
                    << qPrintable(e->storedName()) << " is filed under the receiver type " << receiverType << " of "
                    << qPrintable(carrier->storedName());
            }
        }
    }
}

TEST(Language, ChinaLanguageIsDecidedByTheFirstPreferredLanguageOnly)
{
    const struct
    {
        QStringList languages;
        bool china;
    } rows[] = {
        {{QStringLiteral("zh-Hans-CN")}, true},
        {{QStringLiteral("zh-Hans")}, true},
        {{QStringLiteral("zh-Hans-US")}, true},
        {{QStringLiteral("zh-Hant-TW")}, false},
        {{QStringLiteral("zh-Hans-SG")}, false},
        {{QStringLiteral("zh-hans-cn")}, false},
        {{QStringLiteral("en-US"), QStringLiteral("zh-Hans")}, false},
    };
    for (const auto &row : rows) {
        ScopedLanguages languages(row.languages);
        EXPECT_EQ(Language::isCurrentChinaLanguage(), row.china) << qPrintable(row.languages.join(u','));
    }
}

TEST(ChinaNames, TableNamesReplaceCatalogueNamesOnlyInAChineseInterface)
{
    auto crane = entry(0x3102, 0x2DC8, 41, "Fenwyk Crane Duo");
    auto nightjar = entry(0xA5A5, 0x2DC8, 7, "Fenwyk Nightjar");
    auto nightjarF = entry(0x2DC8, 0x2DC8, 7, "Fenwyk Nightjar F1");
    auto other7 = entry(0x1234, 0x2DC8, 7, "Fenwyk Nightjar X");
    auto unlisted = entry(0x6000, 0x2DC8, 26, "Fenwyk Condor");
    {
        ScopedLanguages languages({QStringLiteral("en-US")});
        EXPECT_EQ(crane->name(), QStringLiteral("Fenwyk Crane Duo"));
    }
    ScopedLanguages languages({QStringLiteral("zh-Hans-CN")});
    EXPECT_EQ(crane->name(), QString::fromUtf8("Fenwyk 鹤 双模版"));
    EXPECT_EQ(nightjar->name(), QString::fromUtf8("Fenwyk 夜鹰 接收器"));
    EXPECT_EQ(nightjarF->name(), QString::fromUtf8("Fenwyk 夜鹰 F1 接收器"));
    EXPECT_EQ(other7->name(), QStringLiteral("Fenwyk Nightjar X"));
    EXPECT_EQ(unlisted->name(), QStringLiteral("Fenwyk Condor"));
    EXPECT_EQ(crane->storedName(), QStringLiteral("Fenwyk Crane Duo"));

    int named = 0;
    for (int type = -1; type <= 70; ++type) {
        for (int pid : {0, 0xA5A5, 0x2DC8}) {
            if (type != 7 && pid != 0)
                continue;
            if (SFenwykDeviceDetailsTools::getNameWith(type, pid, QStringLiteral("keep")) != QStringLiteral("keep"))
                ++named;
        }
    }
    EXPECT_EQ(named, 23);
}
