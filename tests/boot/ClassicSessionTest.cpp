#include "boot/Crc.h"
#include "boot/SHIDBoot.h"
#include "device/HidTransport.h"
#include "models/FirmwareFileBuilder.h"
#include "models/VirtualClassicBootloader.h"
#include "platform/Bytes.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"
#include "rigs/SessionRig.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/BootRecorder.h"
#include "support/TestSupport.h"

using namespace flashwell;
using namespace flashwell::lab;
using flashwell::test::BootRecorder;
using flashwell::test::hex;
using Events = std::vector<std::string>;

namespace {

class ClassicSessionTest : public ::testing::Test, protected lab::SessionRig<SHIDBoot>
{
protected:
    ClassicSessionTest()
    {
        recorder.clock = [this] { return clock.nowMs(); };
        attach(&recorder);
    }

    QString writeFile(const QByteArray &bytes, const char *name = "fw.bin")
    {
        return flashwell::test::writeTempFile(dir, bytes, name);
    }

    // Plugs the bootloader and asks for its version, as the update screen does.
    void start(VirtualClassicBootloader &device)
    {
        device.plug();
        clock.runPending();
        ASSERT_TRUE(recorder.lastAdded);
        transport::sendFramedPacket(recorder.lastAdded->deviceRef.data(), transport::kGuard, classic::kCommandVersion,
                                    {});
    }

    std::vector<std::string> wire(std::size_t bytes) const
    {
        std::vector<std::string> out;
        for (const auto &r : bus.outputLog())
            out.push_back(hex(r.bytes, bytes));
        return out;
    }

    QTemporaryDir dir;
    BootRecorder recorder;
};

QByteArray header64()
{
    ClassicFirmware fw;
    fw.version = 502;
    fw.address = 0x08004000;
    fw.data = patternBytes(64);
    return fw.build();
}

} // namespace

TEST_F(ClassicSessionTest, WholeUpdateOnTheWire)
{
    const QByteArray file = header64();
    session.filePath = writeFile(file);
    VirtualClassicBootloader device(bus);
    start(device);
    clock.advance(100);

    EXPECT_EQ(recorder.events,
              (Events{"add", "version 1.00 beta 0", "type 1", "start", "progress 100", "done", "remove"}));
    const auto sent = wire(9);
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[0], "05 00 16 01 00 04 00 00 00"); // version query
    EXPECT_EQ(sent[1], "06 00 1a 01 00 00 00 00 00"); // device info request
    EXPECT_EQ(sent[2], "23 00 16 1f 00 01 1c 00 f6"); // header, 28 bytes (version 0x01F6)
    EXPECT_EQ(sent[3].substr(0, 23), "27 00 16 23 00 00 20 00");
    EXPECT_EQ(sent[4].substr(0, 23), "27 00 16 23 00 00 20 00");
    EXPECT_EQ(sent[5], "05 00 16 01 00 02 00 00 00"); // finish
    // The header and the data travel exactly as in the file.
    const auto &log = bus.outputLog();
    const auto carried = [&](std::size_t report, int count) {
        return byteArrayOf(std::span(log[report].bytes).subspan(8, static_cast<std::size_t>(count)));
    };
    EXPECT_EQ(carried(2, 28), file.left(28));
    EXPECT_EQ(carried(3, 32), file.mid(28, 32));
    EXPECT_EQ(carried(4, 32), file.mid(60, 32));
    EXPECT_EQ(device.flash().read(0x08004000, 64), file.mid(28));
}

TEST_F(ClassicSessionTest, FramedIdentityPrefixesEveryReportAndReversesHeaderWords)
{
    const QByteArray file = header64();
    session.filePath = writeFile(file);
    VirtualClassicBootloader device(bus, 0x3206);
    device.info = {0x0100, 0, 5}; // flashed as type 200 whatever it says
    start(device);
    clock.advance(100);

    EXPECT_EQ(recorder.events,
              (Events{"add", "version 1.00 beta 0", "type 5", "start", "progress 100", "done", "remove"}));
    const auto sent = wire(10);
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[0], "81 05 00 16 01 00 04 00 00 00");
    EXPECT_EQ(sent[1], "81 06 00 1a 01 00 00 00 00 00");
    EXPECT_EQ(sent[2], "81 24 00 16 1f 00 01 1c 00 f6");
    EXPECT_EQ(sent[3].substr(0, 26), "81 28 00 16 23 00 00 20 00");
    EXPECT_EQ(sent[5], "81 05 00 16 01 00 02 00 00 00");
    // Address 0x08004000 and length 64 go out big-endian.
    const auto &h = bus.outputLog()[2].bytes;
    EXPECT_EQ(hex(h, 21).substr(39), "08 00 40 00 00 00 00 40");
    EXPECT_EQ(device.flash().read(0x08004000, 64), file.mid(28)) << "the device reads the words back";
}

TEST_F(ClassicSessionTest, ProgressIsReportedFromTheSecondPieceAndOnlyWhenItChanges)
{
    ClassicFirmware fw;
    fw.data = patternBytes(100);
    session.filePath = writeFile(fw.build());
    VirtualClassicBootloader device(bus);
    start(device);
    clock.advance(100);
    EXPECT_EQ(recorder.events, (Events{"add", "version 1.00 beta 0", "type 1", "start", "progress 64", "progress 96",
                                       "progress 100", "done", "remove"}));
    EXPECT_EQ(session.lastProgress, 100);
}

TEST_F(ClassicSessionTest, ZeroTotalLengthSendsOneMoreEmptyDataCommandAndFinishes)
{
    ClassicFirmware fw;
    session.filePath = writeFile(fw.build());
    VirtualClassicBootloader device(bus);
    start(device);
    clock.advance(100);
    EXPECT_EQ(recorder.events, (Events{"add", "version 1.00 beta 0", "type 1", "start", "done", "remove"}))
        << "progress 0 equals the last progress: no callback";
    const auto sent = wire(7);
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[3], "05 00 16 01 00 00 00");
    EXPECT_EQ(sent[4], "05 00 16 01 00 00 00");
}

TEST_F(ClassicSessionTest, OnlyFirmwareTypes1And200AreFlashed)
{
    for (uint8_t type : {uint8_t{0}, uint8_t{2}, uint8_t{5}, uint8_t{199}, uint8_t{255}}) {
        VirtualScheduler c;
        VirtualHidBus b(c);
        BootRecorder r;
        SHIDBoot s({&c, &b});
        s.addBootDelegate(&r);
        s.filePath = writeFile(header64());
        s.open();
        VirtualClassicBootloader device(b);
        device.info.firmwareType = type;
        device.plug();
        c.runPending();
        transport::sendFramedPacket(r.lastAdded->deviceRef.data(), transport::kGuard, classic::kCommandVersion, {});
        c.advance(100);
        EXPECT_EQ(r.events.back(), "type " + std::to_string(type));
        EXPECT_EQ(b.outputLog().size(), 2u) << "nothing after the info frame for type " << int(type);
    }
    VirtualClassicBootloader device(bus);
    device.info.firmwareType = 200;
    session.filePath = writeFile(header64());
    start(device);
    clock.advance(100);
    EXPECT_TRUE(recorder.has("done"));
}

TEST_F(ClassicSessionTest, Bootloader0105RefusesOldFirmwareBeforeTheHeader)
{
    ClassicFirmware fw;
    fw.version = 136;
    fw.data = patternBytes(40);
    session.filePath = writeFile(fw.build());
    VirtualClassicBootloader device(bus);
    device.info = {0x0105, 1, 1};
    start(device);
    clock.advance(100);
    EXPECT_EQ(recorder.events.back(), "not supported");
    EXPECT_EQ(bus.outputLog().size(), 2u);

    fw.version = 137;
    session.filePath = writeFile(fw.build(), "ok.bin");
    device.unplug();
    recorder.events.clear();
    start(device);
    clock.advance(100);
    EXPECT_TRUE(recorder.has("done"));
}

TEST_F(ClassicSessionTest, ReceiverSettingsAreReadPatchedAndWrittenOneSecondLater)
{
    session.filePath = writeFile(header64());
    session.isUSBRR_PS_classic = true;
    VirtualClassicBootloader device(bus);
    for (std::size_t i = 0; i < device.settings.size(); ++i)
        device.settings[i] = static_cast<uint8_t>(0x40 + i);
    const auto original = device.settings;
    start(device);
    clock.advance(5000);
    ASSERT_TRUE(recorder.has("done"));
    EXPECT_EQ(recorder.events.back(), "remove") << "the receiver returns in normal mode";

    const auto &log = bus.outputLog();
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(hex(log[5].bytes, 9), "08 00 31 1b 00 00 30 00 08"); // first read
    EXPECT_EQ(hex(log[6].bytes, 9), "08 00 31 15 00 17 30 00 08"); // 17 more bytes at +23
    EXPECT_EQ(hex(log[7].bytes, 9), "30 00 32 2c 00 00 30 00 08"); // write-back
    EXPECT_EQ(hex(log[8].bytes, 6), "05 00 16 01 00 02");
    EXPECT_EQ(log[7].atMs - log[5].atMs, 1000);
    EXPECT_EQ(log[8].atMs, log[7].atMs);

    auto expected = original;
    expected[6] = 0x04;
    const uint16_t crc = crc::mcrf4xx(std::span<const uint8_t>(expected).first(38));
    expected[38] = static_cast<uint8_t>(crc & 0xFF);
    expected[39] = static_cast<uint8_t>(crc >> 8);
    EXPECT_EQ(device.settings, expected);
    EXPECT_TRUE(device.settingsWritten());
}

namespace {
// Answers every settings read with more data than the block has room for.
class OversizedSettingsDevice final : public VirtualHidEndpoint
{
public:
    explicit OversizedSettingsDevice(VirtualHidBus &bus)
        : m_bus(bus)
    {}
    void onOutputReport(HidDevice *device, std::span<const uint8_t> r) override
    {
        if (r[2] == classic::kMemoryReadCommand) {
            HidReport reply{};
            reply[2] = classic::kMemoryReadKind;
            wire::putLe16(reply, 3, 59 + 4);
            for (std::size_t i = 5; i < reply.size(); ++i)
                reply[i] = static_cast<uint8_t>(i);
            m_bus.sendInput(device, reply);
            ++reads;
        } else if (r[2] == classic::kMemoryWriteCommand) {
            written.assign(r.begin() + 9, r.begin() + 49);
        }
    }
    int reads = 0;
    std::vector<uint8_t> written;

private:
    VirtualHidBus &m_bus;
};
} // namespace

TEST_F(ClassicSessionTest, OversizedSettingsReplyFillsTheBlockAndNothingMore)
{
    OversizedSettingsDevice endpoint(bus);
    HidDevice *device = bus.plug({0x2DC8, 0x5750, {}}, &endpoint);
    session.filePath = writeFile(ClassicFirmware{}.build());
    session.isUSBRR_PS_classic = true;
    clock.runPending();
    // Drive the session to its last acknowledgement by hand.
    bus.sendInput(device, classic::deviceInfoFrame({0x0100, 0, 1}));
    for (int i = 0; i < 3; ++i) {
        bus.sendInput(device, classic::statusFrame(classic::kStatusAcknowledge));
        clock.advance(5);
    }
    clock.advance(2000);
    EXPECT_EQ(endpoint.reads, 1) << "one reply filled the block";
    ASSERT_EQ(endpoint.written.size(), 40u);
    EXPECT_EQ(endpoint.written[0], 5);
    EXPECT_EQ(endpoint.written[5], 10);
    EXPECT_EQ(endpoint.written[6], 0x04);
    EXPECT_EQ(recorder.events.back(), "done");
}

// A device that keeps acknowledging after the last piece gets one finish command, and the screen
// hears of success once; during the settings step's wait an acknowledgement restarts nothing.
TEST_F(ClassicSessionTest, FinishGoesOutOnceWhateverFollows)
{
    for (const bool receiver : {false, true}) {
        SCOPED_TRACE(receiver ? "receiver" : "controller");
        bus.clearLog();
        recorder.events.clear();
        OversizedSettingsDevice endpoint(bus); // answers the settings reads
        HidDevice *device = bus.plug({0x2DC8, 0x5750, {}}, &endpoint);
        session.filePath = writeFile(header64());
        session.isUSBRR_PS_classic = receiver;
        clock.runPending();
        bus.sendInput(device, classic::deviceInfoFrame({0x0100, 0, 1}));
        // Header, two pieces, then the acknowledgement that finishes (or starts the settings step)
        // and three more.
        for (int i = 0; i < 3 + 1 + 3; ++i) {
            bus.sendInput(device, classic::statusFrame(classic::kStatusAcknowledge));
            clock.advance(5);
        }
        clock.advance(2000);
        int finishes = 0;
        int settingsStarts = 0;
        const HidReport firstRead = classic::memoryReadReport(classic::kFirstReadLength, classic::kSettingsAddress);
        for (const auto &r : bus.outputLog()) {
            finishes += hex(r.bytes, 9) == "05 00 16 01 00 02 00 00 00" ? 1 : 0;
            settingsStarts += r.bytes == firstRead ? 1 : 0;
        }
        EXPECT_EQ(finishes, 1);
        EXPECT_EQ(settingsStarts, receiver ? 1 : 0);
        EXPECT_EQ(endpoint.reads, receiver ? 1 : 0);
        EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(), "done"), 1);
        bus.unplug(device);
        clock.runUntilIdle();
    }
}

TEST_F(ClassicSessionTest, IncompleteSettingsBlockIsNeverWrittenBack)
{
    session.filePath = writeFile(header64());
    session.isUSBRR_PS_classic = true;
    VirtualClassicBootloader device(bus);
    device.faults.dropReplyAt = 7; // the second settings read goes unanswered
    start(device);
    clock.advance(5000);
    EXPECT_EQ(recorder.events.back(), "error");
    EXPECT_TRUE(recorder.lastError.contains(QStringLiteral("23 of 40"))) << qPrintable(recorder.lastError);
    EXPECT_FALSE(device.settingsWritten());
    EXPECT_FALSE(device.finished()) << "no finish command after a failed settings step";
}

TEST_F(ClassicSessionTest, FileShorterThanItsHeaderIsRefusedBeforeAnythingIsWritten)
{
    ClassicFirmware fw;
    fw.data = patternBytes(50);
    fw.totalLengthOverride = 64;
    session.filePath = writeFile(fw.build());
    VirtualClassicBootloader device(bus);
    start(device);
    clock.advance(100);
    EXPECT_EQ(recorder.events.back(), "error");
    EXPECT_TRUE(recorder.lastError.contains(QStringLiteral("50"))) << qPrintable(recorder.lastError);
    EXPECT_EQ(bus.outputLog().size(), 2u);
    EXPECT_TRUE(device.flash().empty());
}

TEST_F(ClassicSessionTest, FileCutShortDuringTheUpdateEndsWithAnErrorNotEmptyCommands)
{
    ClassicFirmware fw;
    fw.data = patternBytes(96);
    const QString path = writeFile(fw.build());
    session.filePath = path;
    VirtualClassicBootloader device(bus);
    device.plug();
    clock.runPending();
    transport::sendFramedPacket(recorder.lastAdded->deviceRef.data(), transport::kGuard, classic::kCommandVersion, {});
    // Run until the header is out, then cut the file down to its first piece.
    while (session.sessionState() != SHIDBoot::HeaderSent)
        clock.advance(1);
    ASSERT_TRUE(QFile::resize(path, 28 + 32));
    clock.advance(100);
    EXPECT_EQ(recorder.events.back(), "error");
    EXPECT_TRUE(recorder.lastError.contains(QStringLiteral("32 of 96"))) << qPrintable(recorder.lastError);
    for (const auto &r : bus.outputLog())
        EXPECT_FALSE(r.bytes[0] == 0x05 && r.bytes[5] == 0x00) << "no empty data command";
    // A stray acknowledgement after the failure is ignored.
    const auto sent = bus.outputLog().size();
    bus.sendInput(device.device(), classic::statusFrame(classic::kStatusAcknowledge));
    clock.advance(10);
    EXPECT_EQ(bus.outputLog().size(), sent);
}

TEST_F(ClassicSessionTest, UnreadableOrShortFileIsReported)
{
    for (const QString &path : {dir.filePath(QStringLiteral("absent.bin")), writeFile("short", "short.bin")}) {
        recorder.events.clear();
        bus.clearLog();
        session.filePath = path;
        VirtualClassicBootloader device(bus);
        start(device);
        clock.advance(100);
        EXPECT_EQ(recorder.events.back(), "error") << qPrintable(path);
        EXPECT_EQ(bus.outputLog().size(), 2u) << "no header after the query and the info request";
        device.unplug();
    }
}

TEST_F(ClassicSessionTest, WithoutAFileTheVersionExchangeStopsQuietly)
{
    VirtualClassicBootloader device(bus);
    start(device);
    clock.advance(100);
    EXPECT_EQ(recorder.events, (Events{"add", "version 1.00 beta 0", "type 1"}));
    EXPECT_EQ(bus.outputLog().size(), 2u) << "the query and the info request only";
}

TEST_F(ClassicSessionTest, VersionReplyCarriesBetaOnlyWhenSet)
{
    VirtualClassicBootloader device(bus);
    device.versionHundredths = 314;
    device.beta = 7;
    device.info.firmwareType = 9; // stop after the info frame
    start(device);
    clock.advance(100);
    ASSERT_TRUE(recorder.lastVersion);
    EXPECT_EQ(recorder.lastVersion->version(), 314.0f / 100.0f);
    EXPECT_EQ(recorder.lastVersion->beta, 7);
    EXPECT_EQ(recorder.lastVersion->deviceRef.data(), device.device());
}

TEST_F(ClassicSessionTest, RemovalIsReportedWithoutARecordAndDevicesAreKept)
{
    VirtualClassicBootloader device(bus, 0x5760, 0x0483);
    device.plug();
    clock.runPending();
    device.unplug();
    EXPECT_EQ(recorder.events, (Events{"add", "remove"}));
    EXPECT_EQ(session.devices().size(), 1);
}
