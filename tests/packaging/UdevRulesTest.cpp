// Catches: udev rules that miss an identity a watcher or session opens, grant one none opens, or hold a malformed line.
#include "boot/SHIDBoot.h"
#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "device/SFenwykDeviceDetailsTools.h"
#include "device/SHIDDinput.h"
#include "device/SHIDHJZ.h"
#include "device/SHIDSwitchAndMac.h"
#include "device/SHIDXinput.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <memory>

using namespace flashwell;

namespace {

using Identity = QPair<uint16_t, uint16_t>; // vendor, product

QString describe(const Identity &id)
{
    return QStringLiteral("%1:%2").arg(id.first, 4, 16, QLatin1Char('0')).arg(id.second, 4, 16, QLatin1Char('0'));
}

// What the rules file grants; a line that is neither a comment nor a hidraw uaccess rule for one
// vendor/product pair fails the test (a vendor-wide rule would grant devices we never open).
QSet<Identity> grantedByRules(QStringList *malformed)
{
    QFile file(QStringLiteral(FLASHWELL_UDEV_RULES));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        malformed->append(QStringLiteral("cannot read ") + file.fileName());
        return {};
    }
    static const char pattern[] =
        R"re(^SUBSYSTEM=="hidraw", ATTRS\{idVendor\}=="([0-9a-f]{4})", ATTRS\{idProduct\}=="([0-9a-f]{4})", TAG\+="uaccess"$)re";
    static const QRegularExpression rule(QString::fromLatin1(pattern));
    QSet<Identity> granted;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QRegularExpressionMatch m = rule.match(line);
        if (!m.hasMatch()) {
            malformed->append(line);
            continue;
        }
        granted.insert({static_cast<uint16_t>(m.captured(1).toUInt(nullptr, 16)),
                        static_cast<uint16_t>(m.captured(2).toUInt(nullptr, 16))});
    }
    return granted;
}

} // namespace

TEST(UdevRules, CoverEveryIdentityTheWatchersAndSessionsMatchAndNoOther)
{
    VirtualScheduler clock;
    VirtualHidBus bus(clock);
    const PlatformServices services{&clock, &bus};
    std::vector<std::pair<const char *, std::unique_ptr<SHIDManager>>> matchers;
    matchers.emplace_back("D-input watcher", std::make_unique<SHIDDinput>(services));
    matchers.emplace_back("Switch/macOS watcher", std::make_unique<SHIDSwitchAndMac>(services));
    matchers.emplace_back("X-input watcher", std::make_unique<SHIDXinput>(services));
    matchers.emplace_back("HJZ watcher", std::make_unique<SHIDHJZ>(services));
    matchers.emplace_back("classic session", std::make_unique<SHIDBoot>(services));
    matchers.emplace_back("second-generation session", std::make_unique<SHIDBootVela2>(services));
    matchers.emplace_back("HJZ session", std::make_unique<SHIDBootHJZ>(services));

    QStringList malformed;
    const QSet<Identity> granted = grantedByRules(&malformed);
    EXPECT_TRUE(malformed.isEmpty()) << qPrintable(malformed.join(u'\n'));

    QSet<Identity> matched;
    for (const auto &[name, matcher] : matchers) {
        matcher->open();
        ASSERT_NE(matcher->hidManager(), nullptr) << name;
        const QList<HidMatch> &list = matcher->hidManager()->deviceMatching();
        EXPECT_FALSE(list.isEmpty()) << name;
        for (const HidMatch &m : list) {
            const Identity id{m.vendorId, m.productId};
            matched.insert(id);
            EXPECT_TRUE(granted.contains(id))
                << name << " matches " << qPrintable(describe(id)) << ", not in the rules";
        }
    }
    for (const Identity &id : granted)
        EXPECT_TRUE(matched.contains(id)) << qPrintable(describe(id)) << " is granted but matched by nothing";

    // The catalogue is the D-input watcher's table: every product of it is granted in normal mode.
    const auto &catalogue = SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs();
    ASSERT_FALSE(catalogue.empty());
    for (const auto &entry : catalogue)
        EXPECT_TRUE(granted.contains({entry->vid, entry->pid})) << qPrintable(entry->name());
}
