// Catches: a classic session that flashes what it must refuse, repeats the finish or writes settings early.
#include "boot/SHIDBoot.h"
#include "device/HidTransport.h"
#include "models/FirmwareFileBuilder.h"
#include "models/VirtualClassicBootloader.h"
#include "platform/Bytes.h"

#include <QFile>

#include <gtest/gtest.h>

#include "support/BootSessionTest.h"

#include <optional>

using namespace flashwell;
using namespace flashwell::lab;
using flashwell::test::hex;
using Events = std::vector<std::string>;

namespace {

class ClassicSessionTest : public test::BootSessionTest<SHIDBoot>
{
protected:
    // Plugs the bootloader and asks for its version, as the update screen does.
    void start(VirtualClassicBootloader &device)
    {
        device.plug();
        clock.runPending();
        ASSERT_TRUE(recorder.lastAdded);
        transport::sendFramedPacket(recorder.lastAdded->deviceRef.data(), transport::kGuard, classic::kCommandVersion,
                                    {});
    }
};

QByteArray firmware(int size, uint16_t version = 100)
{
    ClassicFirmware fw;
    fw.version = version;
    fw.data = patternBytes(size);
    return fw.build();
}

QByteArray header64()
{
    return firmware(64, 502);
}

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

// Progress from the second piece on and only when it changes (an empty image's 0 on a new session is
// no change); the reports of the empty image are pinned by the classic-empty recording.
TEST_F(ClassicSessionTest, ProgressIsReportedFromTheSecondPieceAndOnlyWhenItChanges)
{
    const struct
    {
        int size;
        uint8_t beta;
        Events events;
    } rows[] = {
        {0, 0, {"add", "version 1.00 beta 0", "type 1", "start", "done", "remove"}},
        {100,
         7,
         {"add", "version 1.00 beta 7", "type 1", "start", "progress 64", "progress 96", "progress 100", "done",
          "remove"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.size);
        recorder.events.clear();
        session.filePath = writeFile(firmware(row.size));
        VirtualClassicBootloader device(bus);
        device.beta = row.beta;
        start(device);
        clock.advance(100);
        EXPECT_EQ(recorder.events, row.events);
    }
}

namespace {

// What a session must not flash: it stops after the version query and the info request, with the
// last event it told, and the flash stays empty.
struct Refusal
{
    const char *what;
    classic::DeviceInfo info;
    std::optional<QByteArray> file; // none: no file given
    Events lastEvents;
    const char *says = ""; // in the error message
    bool absent = false;   // the file named does not exist
};

[[maybe_unused]] void PrintTo(const Refusal &c, std::ostream *os)
{
    *os << c.what;
}

class ClassicRefusals : public ClassicSessionTest, public ::testing::WithParamInterface<Refusal>
{
};

} // namespace

TEST_P(ClassicRefusals, NothingIsSentAfterTheInfoRequest)
{
    const Refusal &c = GetParam();
    if (c.absent)
        session.filePath = dir.filePath(QStringLiteral("absent.bin"));
    else if (c.file)
        session.filePath = writeFile(*c.file);
    VirtualClassicBootloader device(bus);
    device.info = c.info;
    start(device);
    clock.advance(100);
    ASSERT_GE(recorder.events.size(), c.lastEvents.size());
    EXPECT_EQ(Events(recorder.events.end() - static_cast<std::ptrdiff_t>(c.lastEvents.size()), recorder.events.end()),
              c.lastEvents);
    EXPECT_TRUE(recorder.lastError.contains(QLatin1String(c.says))) << qPrintable(recorder.lastError);
    EXPECT_EQ(bus.outputLog().size(), 2u) << "the query and the info request only";
    EXPECT_TRUE(device.flash().empty());
}

QByteArray headerLongerThanItsData()
{
    ClassicFirmware fw;
    fw.data = patternBytes(50);
    fw.totalLengthOverride = 64;
    return fw.build();
}

INSTANTIATE_TEST_SUITE_P(
    Files, ClassicRefusals,
    ::testing::Values(Refusal{"no_file", {0x0100, 0, 1}, std::nullopt, {"add", "version 1.00 beta 0", "type 1"}},
                      Refusal{"type_0", {0x0100, 0, 0}, header64(), {"type 0"}},
                      Refusal{"type_2", {0x0100, 0, 2}, header64(), {"type 2"}},
                      Refusal{"type_255", {0x0100, 0, 255}, header64(), {"type 255"}},
                      Refusal{"too_old_for_bootloader_0105", {0x0105, 1, 1}, firmware(40, 136), {"not supported"}},
                      Refusal{"shorter_than_its_header", {0x0100, 0, 1}, headerLongerThanItsData(), {"error"}, "50"},
                      Refusal{"absent", {0x0100, 0, 1}, std::nullopt, {"error"}, "", true},
                      Refusal{"shorter_than_a_header", {0x0100, 0, 1}, QByteArray("short"), {"error"}}),
    [](const auto &row) { return std::string(row.param.what); });

TEST_F(ClassicSessionTest, Types1And200AndFirmwareNewEnoughForBootloader0105AreFlashed)
{
    const struct
    {
        classic::DeviceInfo info;
        uint16_t version;
    } rows[] = {{{0x0100, 0, 1}, 100}, {{0x0100, 0, 200}, 100}, {{0x0105, 1, 1}, 137}};
    for (const auto &row : rows) {
        SCOPED_TRACE(int(row.info.firmwareType));
        recorder.events.clear();
        session.filePath = writeFile(firmware(40, row.version));
        VirtualClassicBootloader device(bus);
        device.info = row.info;
        start(device);
        clock.advance(100);
        EXPECT_TRUE(recorder.has("done")) << lastEvent();
        device.unplug();
    }
}

// The read and write-back bytes (the patched byte and the new CRC) are pinned by the receiver
// recording; here, when the write-back goes out and what comes after it.
TEST_F(ClassicSessionTest, ReceiverSettingsAreWrittenBackOneSecondAfterTheReadThenTheFinish)
{
    session.filePath = writeFile(header64());
    session.isUSBRR_PS_classic = true;
    VirtualClassicBootloader device(bus);
    start(device);
    clock.advance(5000);
    ASSERT_TRUE(recorder.has("done"));
    EXPECT_EQ(lastEvent(), "remove") << "the receiver returns in normal mode";
    const auto &log = bus.outputLog();
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[5].bytes[2], classic::kMemoryReadCommand);
    EXPECT_EQ(log[7].bytes[2], classic::kMemoryWriteCommand);
    EXPECT_EQ(hex(log[8].bytes, 6), "05 00 16 01 00 02");
    EXPECT_EQ(log[7].atMs - log[5].atMs, 1000);
    EXPECT_EQ(log[8].atMs, log[7].atMs);
    EXPECT_TRUE(device.settingsWritten());
}

// A device that keeps acknowledging after the last piece gets one finish command, and the screen
// hears of success once; during the settings step's wait an acknowledgement restarts nothing, and
// a settings reply longer than the block fills it and no more.
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
        EXPECT_EQ(endpoint.reads, receiver ? 1 : 0) << "one oversized reply filled the block";
        EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(), "done"), 1);
        if (receiver) {
            // The block is filled from the reply and nothing more, then patched.
            ASSERT_EQ(endpoint.written.size(), 40u);
            EXPECT_EQ(endpoint.written[0], 5);
            EXPECT_EQ(endpoint.written[5], 10);
            EXPECT_EQ(endpoint.written[6], 0x04);
        }
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
    EXPECT_EQ(lastEvent(), "error");
    EXPECT_TRUE(recorder.lastError.contains(QStringLiteral("23 of 40"))) << qPrintable(recorder.lastError);
    EXPECT_FALSE(device.settingsWritten());
    EXPECT_FALSE(device.finished()) << "no finish command after a failed settings step";
}

TEST_F(ClassicSessionTest, FileCutShortDuringTheUpdateEndsWithAnErrorNotEmptyCommands)
{
    const QString path = writeFile(firmware(96));
    session.filePath = path;
    VirtualClassicBootloader device(bus);
    start(device);
    // Run until the header is out, then cut the file down to its first piece.
    while (session.sessionState() != SHIDBoot::HeaderSent)
        clock.advance(1);
    ASSERT_TRUE(QFile::resize(path, 28 + 32));
    clock.advance(100);
    EXPECT_EQ(lastEvent(), "error");
    EXPECT_TRUE(recorder.lastError.contains(QStringLiteral("32 of 96"))) << qPrintable(recorder.lastError);
    for (const auto &r : bus.outputLog())
        EXPECT_FALSE(r.bytes[0] == 0x05 && r.bytes[5] == 0x00) << "no empty data command";
    // A stray acknowledgement after the failure is ignored.
    const auto sent = bus.outputLog().size();
    bus.sendInput(device.device(), classic::statusFrame(classic::kStatusAcknowledge));
    clock.advance(10);
    EXPECT_EQ(bus.outputLog().size(), sent);
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
