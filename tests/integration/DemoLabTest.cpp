// Catches: a demo lab whose releases, devices, bootloaders or armed faults differ from what its menus promise.
#include "demo/DemoLab.h"
#include "boot/ClassicFrames.h"
#include "boot/SHIDBoot.h"
#include "device/HidTransport.h"
#include "device/SFenwykDeviceDetailsTools.h"
#include "device/SHIDDinput.h"
#include "device/SHIDSwitchAndMac.h"
#include "models/FlashMemory.h"
#include "net/SHttp.h"
#include "platform/VirtualScheduler.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/BootRecorder.h"
#include "support/EventLoop.h"
#include "support/TestSupport.h"

using namespace flashwell;
using flashwell::lab::DemoLab;
using flashwell::lab::DemoRelease;
using flashwell::lab::LabBootloader;

namespace {

class DemoLabTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    VirtualScheduler clock;
    DemoLab lab{clock, dir.path()};

    int index(uint16_t type) const
    {
        for (int i = 0; i < lab.deviceCount(); ++i)
            if (lab.deviceType(i) == type)
                return i;
        return -1;
    }
};

// Whether a release file suits its bootloader shows when the demo flashes it (below, and in the window tests).
TEST_F(DemoLabTest, EveryCatalogueTypeHasThreeReleasesForItsBootloader)
{
    ASSERT_TRUE(lab.start());
    QSet<int> types;
    for (const auto &e : SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs())
        types.insert(e->type);
    ASSERT_EQ(lab.releases().size(), static_cast<std::size_t>(types.size()) * 3);
    for (int type : types) {
        SCOPED_TRACE(type);
        ASSERT_NE(lab.release(type, DemoLab::kDeviceVersion), nullptr);
        ASSERT_NE(lab.release(type, DemoLab::kNewerVersion), nullptr);
        ASSERT_NE(lab.release(type, DemoLab::kBetaVersion, DemoLab::kBetaNumber), nullptr);
    }
    // The families the demo's devices stand for.
    EXPECT_EQ(lab.release(47, DemoLab::kNewerVersion)->bootloader, LabBootloader::Hjz);
    EXPECT_EQ(lab.release(37, DemoLab::kNewerVersion)->bootloader, LabBootloader::SecondGen);
    EXPECT_EQ(lab.release(17, DemoLab::kNewerVersion)->bootloader, LabBootloader::Classic);
}

TEST_F(DemoLabTest, ReleaseServerOffersTheNewerReleaseAndBetaServerTheBeta)
{
    ASSERT_TRUE(lab.start());
    SHttp::network().setProxy(QNetworkProxy::NoProxy);
    ServerConfig::install(lab.serverConfig());
    struct Row
    {
        bool beta;
        float version;
        int betaNumber;
    };
    for (const Row row : {Row{false, 1.10f, 0}, Row{true, 1.20f, DemoLab::kBetaNumber}}) {
        UserDefaults::standard().setObject(row.beta, QStringLiteral("UserDefaults_isBeta"));
        std::optional<Firmware> got;
        bool failed = false;
        QObject context;
        SHttp::getNewVersion(
            17, 1.0f, 0, &context, [&](const Firmware &f) { got = f; }, [&](const HttpError &) { failed = true; });
        ASSERT_TRUE(test::waitUntil([&] { return got || failed; }));
        ASSERT_TRUE(got) << "beta " << row.beta;
        EXPECT_FLOAT_EQ(got->version, row.version);
        EXPECT_EQ(got->beta, row.betaNumber);
        EXPECT_FALSE(got->readme.isEmpty());
        EXPECT_FALSE(got->readme_en.isEmpty());
    }
    UserDefaults::standard().removeObjectForKey(QStringLiteral("UserDefaults_isBeta"));
    ServerConfig::install(std::nullopt);
    EXPECT_TRUE(lab.serverConfig().downloadsRoot.startsWith(dir.path()));
}

TEST_F(DemoLabTest, DevicesAreAnnouncedPluggedUnpluggedAndBroughtBackInTheirBootloader)
{
    test::RecordingDelegate seen;
    SHIDDinput dinput({&clock, &lab.bus()});
    SHIDSwitchAndMac switchAndMac({&clock, &lab.bus()});
    dinput.setDelegate(&seen);
    switchAndMac.setDelegate(&seen);
    dinput.open();
    switchAndMac.open();

    lab.plugAll();
    clock.advance(2000);
    QSet<int> types;
    for (const auto &e : seen.events) {
        ASSERT_TRUE(e.added);
        types.insert(e.device->details() ? e.device->details()->type : 0);
        EXPECT_FLOAT_EQ(e.device->version(), 1.0f);
    }
    EXPECT_EQ(types, (QSet<int>{4, 37, 47, 40}));
    for (int i = 0; i < lab.deviceCount(); ++i)
        EXPECT_TRUE(lab.isPlugged(i)) << i;

    const int classic = index(4);
    lab.unplug(classic);
    clock.advance(10);
    EXPECT_FALSE(lab.isPlugged(classic));
    ASSERT_FALSE(seen.events.back().added);

    struct Row
    {
        int type;
        uint16_t bootPid;
    };
    for (const Row row : {Row{4, 0x5750}, Row{37, 0x3208}, Row{47, 0x3209}}) {
        const int i = index(row.type);
        lab.plugInBootloader(i);
        clock.advance(500);
        EXPECT_TRUE(lab.isInBootloader(i)) << row.type;
        bool onBus = false;
        for (HidDevice *d : lab.bus().devices())
            onBus = onBus || d->property(kHidProductIDKey).toInt() == row.bootPid;
        EXPECT_TRUE(onBus) << row.type;
    }
    // Menus refresh on `changed`: when it comes, a device that left reads as gone, so its Lab menu
    // offers to bring it back in its bootloader.
    const int second = index(37);
    std::vector<bool> inBootloaderWhenChanged;
    QObject::connect(&lab, &DemoLab::changed, &lab,
                     [&] { inBootloaderWhenChanged.push_back(lab.isInBootloader(second)); });
    lab.unplug(second);
    clock.advance(10);
    ASSERT_FALSE(inBootloaderWhenChanged.empty());
    EXPECT_FALSE(inBootloaderWhenChanged.back());
    dinput.setDelegate(nullptr);
    switchAndMac.setDelegate(nullptr);
}

// A whole classic update of the demo's classic device, the way the update screen runs it, with
// and without an armed fault; the fault is used up by the update it was armed for.
TEST_F(DemoLabTest, ArmedFaultsHitTheNextUpdateOnly)
{
    ASSERT_TRUE(lab.start());
    const DemoRelease *release = lab.release(4, DemoLab::kNewerVersion);
    ASSERT_NE(release, nullptr);
    const QString path = test::writeTempFile(dir, release->file);

    struct Row
    {
        DemoLab::Fault fault;
        bool succeeds;
        const char *why;
    };
    const Row rows[] = {
        {DemoLab::Fault::UnplugWhileWriting, false, "unplugged half-way"},
        {DemoLab::Fault::DropReply, false, "one reply never comes"},
        {DemoLab::Fault::None, true, "clean run"},
    };
    const int i = index(4);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.why);
        test::BootRecorder recorder;
        SHIDBoot session({&clock, &lab.bus()});
        session.addBootDelegate(&recorder);
        session.filePath = path;
        session.open();
        recorder.onAdd = [](const SFenwykDevicePtr &d) {
            transport::sendFramedPacket(d->deviceRef.data(), transport::kGuard, classic::kCommandVersion, {});
        };
        lab.armFault(row.fault);
        lab.plugInBootloader(i);
        for (int t = 0; t < 300 && !recorder.has("done"); ++t)
            clock.advance(100);
        EXPECT_EQ(recorder.has("done"), row.succeeds);
        EXPECT_EQ(lab.armedFault(), DemoLab::Fault::None);
        ASSERT_NE(lab.flash(i), nullptr);
        const QByteArray written = lab.flash(i)->read(0x08004000, static_cast<uint32_t>(release->payload.size()));
        EXPECT_EQ(written == release->payload, row.succeeds);
        lab.unplug(i);
        clock.advance(10);
    }
}

} // namespace
