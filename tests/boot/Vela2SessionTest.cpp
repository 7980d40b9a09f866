#include "boot/SHIDBootVela2.h"
#include "models/FirmwareFileBuilder.h"
#include "models/VirtualVela2Bootloader.h"
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

namespace {

struct Sent
{
    uint16_t command;
    uint16_t length;
    uint32_t total;
    uint32_t address;
    HidReport bytes;
};

class Vela2SessionTest : public ::testing::Test, protected lab::SessionRig<SHIDBootVela2>
{
protected:
    Vela2SessionTest()
    {
        recorder.clock = [this] { return clock.nowMs(); };
        attach(&recorder);
    }

    QString writeFile(const QByteArray &bytes, const char *name = "fw.bin")
    {
        return flashwell::test::writeTempFile(dir, bytes, name);
    }

    // Plugs the device, gives the session the file and starts the update as the update screen does.
    void run(VirtualVela2Bootloader &device, const QByteArray &file, int64_t ms = 60'000)
    {
        device.plug();
        clock.runPending();
        session.filePath = writeFile(file);
        session.readPID();
        clock.advance(ms);
    }

    std::vector<Sent> sent() const
    {
        std::vector<Sent> out;
        for (const auto &r : bus.outputLog())
            out.push_back({wire::le16(r.bytes, 1), wire::le16(r.bytes, 5), wire::le32(r.bytes, 9),
                           wire::le32(r.bytes, 13), r.bytes});
        return out;
    }
    std::vector<Sent> sent(uint16_t command) const
    {
        std::vector<Sent> out;
        for (const Sent &s : sent())
            if (s.command == command)
                out.push_back(s);
        return out;
    }
    std::vector<int> progress() const
    {
        std::vector<int> out;
        for (const auto &e : recorder.events)
            if (e.rfind("progress ", 0) == 0)
                out.push_back(std::stoi(e.substr(9)));
        return out;
    }

    QTemporaryDir dir;
    BootRecorder recorder;
};

QByteArray oneRecord(uint32_t pid, int size, uint32_t address = 0x01018000, uint16_t version = 321)
{
    return buildVela2File({{version, 0, address, pid, patternBytes(size, pid)}});
}

VirtualVela2Bootloader &infoAddressed(VirtualVela2Bootloader &d, uint16_t productId, uint8_t subType)
{
    d.info.setProductId(productId);
    d.info.raw[vela2::GamepadInfo::kSubType] = subType;
    wire::putLe16(d.info.raw, vela2::GamepadInfo::kVersion, 150);
    wire::putLe32(d.info.raw, vela2::GamepadInfo::kBootSerialAddress, 0x08003000);
    wire::putLe32(d.info.raw, vela2::GamepadInfo::kVersionWordAddress, 0x08003040);
    return d;
}

} // namespace

TEST_F(Vela2SessionTest, IdentificationOfAChecksummedBootloader)
{
    VirtualVela2Bootloader device(bus, 0x9020);
    device.seedFlash(0x00030123); // version 2.91, beta 3
    device.plug();
    clock.runPending();
    ASSERT_TRUE(recorder.has("add"));
    session.filePath = writeFile(oneRecord(0x9020, 10));
    session.readPID();
    clock.advance(100);
    EXPECT_EQ(session.bootType, 17);
    EXPECT_EQ(session.bootType_PID, 0x9020u);
    const auto s = sent();
    ASSERT_GE(s.size(), 2u);
    EXPECT_EQ(s[0].command, vela2::kReadPid);
    EXPECT_EQ(s[0].length, 2);
    EXPECT_EQ(s[0].total, 2u);
    EXPECT_EQ(wire::le16(s[0].bytes, 7), 0x0000) << "boot type unknown yet: no checksum";
    EXPECT_EQ(s[1].command, vela2::kRead);
    EXPECT_EQ(s[1].address, 0x01017040u);
    EXPECT_EQ(s[1].length, 4);
    EXPECT_TRUE(recorder.has("version 2.91 beta 3"));
    EXPECT_EQ(s.size(), 2u) << "the boot serial waits half a second";
    clock.advance(410);
    const auto serial = sent(vela2::kRead);
    ASSERT_EQ(serial.size(), 2u);
    EXPECT_EQ(serial[1].address, 0x01017000u);
    EXPECT_EQ(serial[1].length, 12);
}

TEST_F(Vela2SessionTest, ReplyDispatchMatchesTheEchoAndRunsAStillRegisteredHandlerAgain)
{
    VirtualVela2Bootloader device(bus, 0x3014); // unlisted: identification goes on
    HidDevice *hid = device.plug();
    clock.runPending();
    int runs = 0;
    session.BootReadFlash({}, 0, 0, 44, vela2::kGamepadInfo, [&](std::span<const uint8_t>) { ++runs; });
    clock.advance(10);
    EXPECT_EQ(runs, 1);
    bus.sendInput(hid, vela2::buildReply(vela2::kGamepadInfo, {}));
    bus.sendInput(hid, vela2::buildReply(vela2::kRead, {}));
    clock.advance(10);
    EXPECT_EQ(runs, 2) << "the 0x05 echo does not answer 0xC0";
}

// The version read and the boot serial read share command 0x05 and there is one pending handler:
// a version reply later than the half second is taken for the boot serial, and the boot serial
// reply that follows answers nothing and is dropped.
TEST_F(Vela2SessionTest, LateVersionReplyIsTakenByTheBootSerialHandler)
{
    VirtualVela2Bootloader device(bus, 0x9020);
    device.seedFlash(0);
    device.bootSerial.fill(0xB5);
    // Replies to the host: 1 product ID, 2 version, 3 boot serial.
    bus.injectFault({HidFault::Kind::Delay, HidFault::Direction::DeviceToHost, 2, 600});
    bus.injectFault({HidFault::Kind::Delay, HidFault::Direction::DeviceToHost, 3, 900});
    run(device, oneRecord(0x9020, 10), 400);
    EXPECT_TRUE(sent(vela2::kErase).empty()) << "still waiting for the boot serial";
    clock.advance(300); // the version reply arrives
    ASSERT_FALSE(sent(vela2::kErase).empty()) << "the version reply moved the chain on";
    EXPECT_FALSE(std::any_of(recorder.events.begin(), recorder.events.end(), [](const std::string &e) {
        return e.rfind("version ", 0) == 0;
    })) << "the version handler never ran";
    EXPECT_NE(session.bootSerial()[0], 0xB5) << "the boot serial is the version reply's bytes";
    clock.advance(60'000);
    EXPECT_TRUE(recorder.has("done")) << (recorder.events.empty() ? "" : recorder.events.back());
}

TEST_F(Vela2SessionTest, UnlistedProductIdKeepsThePreviousBootType)
{
    session.bootType = 14;
    VirtualVela2Bootloader device(bus, 0x3014);
    run(device, oneRecord(0, 10), 50);
    EXPECT_EQ(session.bootType, 14);
    EXPECT_EQ(session.bootType_PID, 0u);
}

TEST_F(Vela2SessionTest, WiredSummitIsBootType6AndItsRecordSearchUsesProduct2002)
{
    VirtualVela2Bootloader device(bus, 0x2003);
    infoAddressed(device, 0x2006, 1);
    const QByteArray file = buildVela2File(
        {{100, 0, 0x08020000, 0x2003, patternBytes(64)}, {200, 0, 0x08030000, 0x2002 + 0x10000, patternBytes(50)}});
    run(device, file);
    EXPECT_EQ(session.bootType, 6);
    EXPECT_EQ(session.bootType_PID, 0x2003u);
    EXPECT_EQ(session.gamepadInfo().productId(), 0x2002);
    // The record for 0x2002 + sub-type 1 is the main image, and it is this device's.
    ASSERT_TRUE(recorder.has("done")) << (recorder.events.empty() ? "" : recorder.events.back());
    EXPECT_EQ(device.flash().read(0x08030000 + 28, 22), patternBytes(50).mid(28, 22));
}

// Each wired bootloader, whatever product its info record names, takes the 0x2002 record.
TEST_F(Vela2SessionTest, WiredSummitBootloadersAreUpdatedFromTheir2002Record)
{
    for (const uint16_t reported : {0x2003, 0x2006, 0x2002}) {
        SCOPED_TRACE(reported);
        recorder.events.clear();
        VirtualVela2Bootloader device(bus, reported);
        infoAddressed(device, reported, 0);
        run(device, buildVela2File({{100, 0, 0x08020000, 0x2002, patternBytes(64)}}));
        EXPECT_TRUE(recorder.has("done")) << (recorder.events.empty() ? "" : recorder.events.back());
        device.unplug();
        clock.runUntilIdle();
    }
}

TEST_F(Vela2SessionTest, InfoAddressedIdentificationReadsVersionAtZeroThenTheInfoRecord)
{
    VirtualVela2Bootloader device(bus, 0x3103);
    infoAddressed(device, 0x3103, 0);
    device.seedFlash(0);
    run(device, buildVela2File({{1, 0, 0x08010000, 0, patternBytes(10)}, {2, 0, 0x08020000, 1, patternBytes(10)}}),
        700);
    const auto s = sent();
    ASSERT_GE(s.size(), 4u);
    EXPECT_EQ(s[1].command, vela2::kRead);
    EXPECT_EQ(s[1].address, 0u) << "the info record was cleared by readPID";
    EXPECT_EQ(s[2].command, vela2::kGamepadInfo);
    EXPECT_EQ(s[2].total, 44u);
    EXPECT_EQ(s[3].command, vela2::kRead);
    EXPECT_EQ(s[3].address, 0x08003000u);
    EXPECT_TRUE(recorder.has("version 1.50 beta 0"));
}

TEST_F(Vela2SessionTest, BootSerialAddressZeroAsksOnceMoreThenEnds)
{
    VirtualVela2Bootloader device(bus, 0x3103); // info record without addresses
    run(device, oneRecord(0, 10));
    EXPECT_EQ(sent(vela2::kGamepadInfo).size(), 2u);
    EXPECT_EQ(recorder.events.back(), "error");
    EXPECT_TRUE(recorder.lastError.contains(QStringLiteral("boot serial address 0")));
}

TEST_F(Vela2SessionTest, MainImageGoesOutIn46ByteChunksWithProgressBeforeEach)
{
    VirtualVela2Bootloader device(bus, 0x6003); // boot type 0: fixed addresses
    device.seedFlash(0);
    const QByteArray file = oneRecord(0x6003, 100, 0x08014000);
    run(device, file);
    const auto chunks = sent(vela2::kWriteChunk);
    ASSERT_EQ(chunks.size(), 3u);
    const std::pair<uint16_t, uint32_t> expected[] = {{46, 0x08014000}, {46, 0x08014000 + 46}, {8, 0x08014000 + 92}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(chunks[i].length, expected[i].first);
        EXPECT_EQ(chunks[i].address, expected[i].second);
        EXPECT_EQ(chunks[i].total, 100u);
        EXPECT_EQ(wire::le16(chunks[i].bytes, 7), 0) << "boot type 0 has no checksum";
    }
    EXPECT_EQ(progress(), (std::vector<int>{0, 46, 92, 100}));
    // The version word lives inside the image area, at 0x34.
    const QByteArray flash = device.flash().read(0x08014000, 100);
    EXPECT_EQ(flash.left(0x34), file.mid(28, 0x34));
    EXPECT_EQ(flash.mid(0x38), file.mid(28 + 0x38));
    EXPECT_EQ(wire::le32(bytesOf(flash).first(100), 0x34), 321u);
    const auto version = sent(vela2::kWrite);
    ASSERT_EQ(version.size(), 1u);
    EXPECT_EQ(version[0].address, 0x08014034u);
    EXPECT_EQ(wire::le32(version[0].bytes, 17), 321u);
    EXPECT_TRUE(recorder.has("done"));
    EXPECT_EQ(sent().back().command, vela2::kReset);
}

TEST_F(Vela2SessionTest, ChecksummedTypeErasesTheVersionAreaAndSignsEveryRequest)
{
    VirtualVela2Bootloader device(bus, 0x9020);
    device.seedFlash(0);
    run(device, oneRecord(0x9020, 120, 0x01018000));
    EXPECT_TRUE(recorder.has("done"));
    EXPECT_EQ(device.rejectedChecksums(), 0);
    const auto erases = sent(vela2::kErase);
    ASSERT_EQ(erases.size(), 2u);
    EXPECT_EQ(erases[0].address, 0x01018000u);
    EXPECT_EQ(erases[0].total, 120u);
    EXPECT_EQ(erases[1].address, 0x01017040u);
    EXPECT_EQ(erases[1].total, 32u);
    EXPECT_TRUE(sent(vela2::kFlashCrc).empty()) << "0x9020 finishes without verification";
    EXPECT_EQ(device.flash().read(0x01018000, 120), oneRecord(0x9020, 120).mid(28));
}

TEST_F(Vela2SessionTest, LargeImagesAreErasedIn32KiBUnitsWhereTheBootTypeWantsIt)
{
    VirtualVela2Bootloader device(bus, 0x3103);
    infoAddressed(device, 0x3103, 0);
    device.seedFlash(0);
    run(device,
        buildVela2File({{1, 0, 0x08010000, 0, patternBytes(10)}, {2, 0, 0x08020000, 0x3103, patternBytes(10'000)}}));
    const auto erases = sent(vela2::kErase);
    ASSERT_FALSE(erases.empty());
    EXPECT_EQ(erases[0].address, 0x08020000u);
    EXPECT_EQ(erases[0].total, 32'768u);
}

struct RadioCase
{
    uint16_t reportedPid;
    uint32_t radioVersionAddress;
};

// Failure messages name the case instead of dumping its bytes.
[[maybe_unused]] void PrintTo(const RadioCase &c, std::ostream *os)
{
    *os << flashwell::test::pidName(c.reportedPid);
}

class Vela2Radio : public Vela2SessionTest, public ::testing::WithParamInterface<RadioCase>
{
};

TEST_P(Vela2Radio, RadioStageWritesAtBit31AddressesThenMarkerAndVersion)
{
    const RadioCase c = GetParam();
    VirtualVela2Bootloader device(bus, c.reportedPid);
    infoAddressed(device, c.reportedPid == 0x2000 || c.reportedPid == 0x2002 ? c.reportedPid : 0x9029, 0);
    device.seedFlash(0);
    const bool type21 = c.reportedPid == 0x3103;
    const uint32_t mainPid = type21 ? c.reportedPid : device.info.searchKey();
    std::vector<Vela2Record> records{{500, 0, 0x08010000, mainPid, patternBytes(1000, 3)},
                                     {700, 2, 0x00020000, type21 ? 1u : 0u, patternBytes(500, 4)}};
    if (type21) // boot type 21 skips a first record; its radio image is found by pid field 1
        records.insert(records.begin(), Vela2Record{1, 0, 0x08000000, 9, patternBytes(40)});
    run(device, buildVela2File(records));
    ASSERT_TRUE(recorder.has("done")) << (recorder.events.empty() ? "" : recorder.events.back());
    const auto radioChunks = [&] {
        std::vector<Sent> out;
        for (const Sent &s : sent(vela2::kWriteChunk))
            if (s.address & 0x80000000)
                out.push_back(s);
        return out;
    }();
    ASSERT_EQ(radioChunks.size(), 11u); // ten of 46, then a whole 46 past the 500 bytes
    EXPECT_EQ(radioChunks[0].address, 0x80020000u);
    EXPECT_EQ(radioChunks[0].total, 500u);
    EXPECT_EQ(device.flash().read(0x80020000, 500), records.back().payload);
    const auto writes = sent(vela2::kWrite);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].address, 0x80010006u);
    EXPECT_EQ(wire::le16(writes[0].bytes, 17), 0x1234);
    EXPECT_EQ(writes[1].address, c.radioVersionAddress);
    EXPECT_EQ(wire::le32(writes[1].bytes, 17), 700u | (2u << 16));
    EXPECT_EQ(writes[2].address, 0x08003040u) << "then the main version word";
    const auto p = progress();
    EXPECT_NE(std::find(p.begin(), p.end(), 66), p.end()) << "main image complete: 1000 of 1500";
    EXPECT_EQ(p.back(), 100);
}

INSTANTIATE_TEST_SUITE_P(BootTypes, Vela2Radio,
                         ::testing::Values(RadioCase{0x9029, 0x88004034}, RadioCase{0x2000, 0x80010004},
                                           RadioCase{0x2002, 0x80010004}, RadioCase{0x3103, 0x80010004}),
                         [](const auto &row) { return flashwell::test::pidName(row.param.reportedPid); });

// When the radio record is not the file's last, its last chunk is still a whole 46 bytes: the
// radio payload's last bytes and then the bytes that follow it in the file.
TEST_F(Vela2SessionTest, LastRadioChunkCarriesTheBytesThatFollowThePayload)
{
    VirtualVela2Bootloader device(bus, 0x9029);
    infoAddressed(device, 0x9029, 0);
    device.seedFlash(0);
    const std::vector<Vela2Record> records{{500, 0, 0x08010000, device.info.searchKey(), patternBytes(100, 3)},
                                           {700, 0, 0x00020000, 0, patternBytes(500, 4)},
                                           {900, 0, 0x00030000, 7, patternBytes(60, 5)}};
    const QByteArray file = buildVela2File(records);
    run(device, file);
    ASSERT_TRUE(recorder.has("done")) << (recorder.events.empty() ? "" : recorder.events.back());
    std::vector<Sent> radio;
    for (const Sent &s : sent(vela2::kWriteChunk))
        if (s.address & 0x80000000)
            radio.push_back(s);
    ASSERT_EQ(radio.size(), 11u);
    EXPECT_EQ(radio.back().address, 0x80020000u + 460);
    const qsizetype radioPayloadAt = 28 + 100 + 28;
    const QByteArray expected = file.mid(radioPayloadAt + 460, 46); // 40 radio bytes, 6 of the next header
    const QByteArray carried = byteArrayOf(std::span(radio.back().bytes).subspan(17, 46));
    EXPECT_EQ(carried, expected);
    EXPECT_EQ(carried.mid(40), file.mid(radioPayloadAt + 500, 6)) << "the next record's header bytes";
}

TEST_F(Vela2SessionTest, RadioRecordRunningPastTheFileIsRefusedBeforeTheErase)
{
    VirtualVela2Bootloader device(bus, 0x9029);
    infoAddressed(device, 0x9029, 0);
    device.seedFlash(0);
    run(device, buildVela2File({{500, 0, 0x08010000, device.info.searchKey(), patternBytes(100, 3)},
                                {700, 0, 0x00020000, 0, patternBytes(50, 4), 5000}}));
    EXPECT_EQ(recorder.events.back(), "error");
    EXPECT_TRUE(recorder.lastError.contains(QStringLiteral("header length 5000 runs past end of file")))
        << qPrintable(recorder.lastError);
    EXPECT_TRUE(sent(vela2::kErase).empty()) << "nothing was erased";
    EXPECT_TRUE(sent(vela2::kWriteChunk).empty());
}

// The product check comes first: another product's file is reported as such, whatever else is
// wrong with it further on.
TEST_F(Vela2SessionTest, AnotherProductsFileWithABrokenRadioRecordIsReportedAsTheWrongProduct)
{
    VirtualVela2Bootloader device(bus, 0x9029);
    infoAddressed(device, 0x2000, 0);
    device.seedFlash(0);
    run(device, buildVela2File({{500, 0, 0x08010000, 0x2000, patternBytes(100, 3)},
                                {700, 0, 0x00020000, 0, patternBytes(50, 4), 5000}}));
    EXPECT_EQ(recorder.events.back(), "wrong pid " + std::to_string(0x2000) + " " + std::to_string(0x9029));
    EXPECT_TRUE(sent(vela2::kErase).empty());
}

// A radio-stage update and then one without a radio image, on the same session: the second one's
// progress is its own and reaches 100.
TEST_F(Vela2SessionTest, EachUpdateCountsProgressFromItsOwnImages)
{
    {
        VirtualVela2Bootloader radio(bus, 0x9029);
        infoAddressed(radio, 0x9029, 0);
        radio.seedFlash(0);
        run(radio, buildVela2File({{500, 0, 0x08010000, radio.info.searchKey(), patternBytes(1000, 3)},
                                   {700, 0, 0x00020000, 0, patternBytes(500, 4)}}));
        ASSERT_TRUE(recorder.has("done"));
        ASSERT_EQ(progress().back(), 100);
        radio.unplug();
        clock.runUntilIdle();
    }
    recorder.events.clear();
    VirtualVela2Bootloader plain(bus, 0x9020);
    plain.seedFlash(0);
    run(plain, oneRecord(0x9020, 600));
    ASSERT_TRUE(recorder.has("done")) << (recorder.events.empty() ? "" : recorder.events.back());
    EXPECT_EQ(session.radioLength(), 0u);
    EXPECT_EQ(progress().back(), 100);
}

TEST_F(Vela2SessionTest, BootType21SkipsTheFirstRecordForTheMainImage)
{
    VirtualVela2Bootloader device(bus, 0x3103);
    infoAddressed(device, 0x3103, 0);
    device.seedFlash(0);
    const QByteArray file = buildVela2File(
        {{1, 0, 0x08000000, 0x3103, patternBytes(40, 1)}, {2, 0, 0x08020000, 0x3103, patternBytes(60, 2)}});
    run(device, file);
    ASSERT_TRUE(recorder.has("done"));
    EXPECT_EQ(session.mainHeader().address(), 0x08020000u);
    EXPECT_EQ(device.flash().read(0x08020000, 60), patternBytes(60, 2));
    EXPECT_EQ(session.radioLength(), 0u) << "no record with pid 1: no radio stage";
}

TEST_F(Vela2SessionTest, RecordSearchUsesProductAndSubType)
{
    VirtualVela2Bootloader device(bus, 0x2000);
    infoAddressed(device, 0x2000, 2);
    device.seedFlash(0);
    run(device, buildVela2File({{1, 0, 0x08010000, 0x2000, patternBytes(30, 1)},
                                {2, 0, 0x08020000, 0x2000 + 0x20000, patternBytes(30, 2)}}));
    ASSERT_TRUE(recorder.has("done"));
    EXPECT_EQ(session.mainHeader().address(), 0x08020000u) << "the sub-type in the high half selects";
    EXPECT_EQ(device.flash().read(0x08020000, 30), patternBytes(30, 2));
}

TEST_F(Vela2SessionTest, NoMatchingRecordIsNotSupported)
{
    VirtualVela2Bootloader device(bus, 0x2000);
    infoAddressed(device, 0x2000, 3);
    device.seedFlash(0);
    run(device, buildVela2File({{1, 0, 0x08010000, 0x2000, patternBytes(30)}}));
    EXPECT_EQ(recorder.events.back(), "not supported");
    EXPECT_TRUE(sent(vela2::kErase).empty());
}

TEST_F(Vela2SessionTest, EmptyFileForBootType2IsNotSupported)
{
    VirtualVela2Bootloader device(bus, 0x6006);
    device.seedFlash(0);
    run(device, QByteArray());
    EXPECT_EQ(recorder.events.back(), "not supported");
}

TEST_F(Vela2SessionTest, ProductMismatchIsReportedWithBothIds)
{
    VirtualVela2Bootloader device(bus, 0x9020);
    device.seedFlash(0);
    run(device, oneRecord(0x9025, 10));
    EXPECT_EQ(recorder.events.back(), "wrong pid " + std::to_string(0x9025) + " " + std::to_string(0x9020));
    EXPECT_TRUE(sent(vela2::kErase).empty());
}

TEST_F(Vela2SessionTest, HeaderRunningPastTheFileIsRefusedBeforeTheErase)
{
    VirtualVela2Bootloader device(bus, 0x9020);
    device.seedFlash(0);
    run(device, buildVela2File({{1, 0, 0x01018000, 0x9020, patternBytes(100), 70'000}}));
    EXPECT_EQ(recorder.events.back(), "error");
    EXPECT_TRUE(recorder.lastError.contains(QStringLiteral("header length 70000 runs past end of file (128 bytes)")))
        << qPrintable(recorder.lastError);
    EXPECT_TRUE(sent(vela2::kErase).empty());
}

TEST_F(Vela2SessionTest, UnreadableFileIsReported)
{
    VirtualVela2Bootloader device(bus, 0x9020);
    device.seedFlash(0);
    device.plug();
    clock.runPending();
    session.filePath = dir.filePath(QStringLiteral("missing.bin"));
    session.readPID();
    clock.advance(1000);
    EXPECT_EQ(recorder.events.back(), "error");
    EXPECT_TRUE(recorder.lastError.contains(QStringLiteral("cannot be read")));
}

TEST_F(Vela2SessionTest, WithoutAFileIdentificationEndsQuietly)
{
    VirtualVela2Bootloader device(bus, 0x9020);
    device.seedFlash(0x00000096);
    device.plug();
    clock.runPending();
    session.readPID();
    clock.advance(2000);
    EXPECT_TRUE(recorder.has("version 1.50 beta 0"));
    EXPECT_FALSE(recorder.has("error"));
    EXPECT_TRUE(sent(vela2::kErase).empty());
}

TEST_F(Vela2SessionTest, FileCutShortDuringWritingEndsWithAnErrorInsteadOfEmptyChunks)
{
    VirtualVela2Bootloader device(bus, 0x6003);
    device.seedFlash(0);
    device.plug();
    clock.runPending();
    session.filePath = writeFile(oneRecord(0x6003, 200, 0x08014000));
    session.readPID();
    while (sent(vela2::kWriteChunk).empty())
        clock.advance(1);
    ASSERT_TRUE(QFile::resize(session.filePath, 28 + 50));
    clock.advance(1000);
    EXPECT_EQ(recorder.events.back(), "error");
    EXPECT_TRUE(recorder.lastError.contains(QStringLiteral("ends inside the main image")));
    for (const Sent &s : sent(vela2::kWriteChunk))
        EXPECT_GT(s.length, 0);
}

class Vela2Verification : public Vela2SessionTest, public ::testing::WithParamInterface<uint16_t>
{
};

TEST_P(Vela2Verification, ChunksAreCheckedHalfByHalfBeforeTheVersionWord)
{
    VirtualVela2Bootloader device(bus, GetParam());
    device.seedFlash(0);
    run(device, oneRecord(GetParam(), 1200));
    ASSERT_TRUE(recorder.has("done")) << qPrintable(recorder.lastError);
    const auto crcs = sent(vela2::kFlashCrc);
    // 1200 bytes: last chunk index (1200 - 28) >> 9 = 2, so chunks 0, 1 and 2, two halves each.
    ASSERT_EQ(crcs.size(), 6u);
    const uint32_t base = GetParam() == 0x9025 ? 0x10000 : 0x4000;
    for (std::size_t k = 0; k < crcs.size(); ++k) {
        EXPECT_EQ(wire::le32(crcs[k].bytes, 17), base + 256 * k);
        EXPECT_EQ(wire::le32(crcs[k].bytes, 21), 256u);
    }
    EXPECT_EQ(sent().back().command, vela2::kReset);
}

INSTANTIATE_TEST_SUITE_P(Pids, Vela2Verification, ::testing::Values(0x9025, 0x9026),
                         [](const auto &row) { return flashwell::test::pidName(row.param); });

TEST_F(Vela2SessionTest, ChunkCountFollowsTheImageLength)
{
    for (int size : {539, 540}) {
        VirtualScheduler c;
        VirtualHidBus b(c);
        BootRecorder r;
        SHIDBootVela2 s({&c, &b});
        s.addBootDelegate(&r);
        s.open();
        VirtualVela2Bootloader device(b, 0x9026);
        device.seedFlash(0);
        device.plug();
        c.runPending();
        s.filePath = writeFile(oneRecord(0x9026, size), "size.bin");
        s.readPID();
        c.advance(60'000);
        ASSERT_TRUE(r.has("done"));
        int crcRequests = 0;
        for (const auto &rec : b.outputLog())
            crcRequests += wire::le16(rec.bytes, 1) == vela2::kFlashCrc ? 1 : 0;
        EXPECT_EQ(crcRequests, size == 539 ? 2 : 4) << size;
    }
}

TEST_F(Vela2SessionTest, CorruptedFlashFailsVerificationResetsAndReportsBothCrcs)
{
    VirtualVela2Bootloader device(bus, 0x9025);
    device.seedFlash(0);
    device.faults.corruptWriteAt = 15; // a chunk in the second 512-byte chunk
    run(device, oneRecord(0x9025, 1200));
    EXPECT_FALSE(recorder.has("done"));
    EXPECT_TRUE(recorder.has("error"));
    EXPECT_EQ(recorder.events.back(), "remove record") << "the reset sends the controller back to normal mode";
    EXPECT_TRUE(recorder.lastError.startsWith(QStringLiteral("CRC Error: \n crc : ")))
        << qPrintable(recorder.lastError);
    EXPECT_EQ(sent().back().command, vela2::kReset);
    EXPECT_TRUE(sent(vela2::kWrite).empty()) << "no version word after a failed verification";
}

TEST_F(Vela2SessionTest, WrongChecksumGetsNoReply)
{
    VirtualVela2Bootloader device(bus, 0x9020);
    HidDevice *hid = device.plug();
    clock.runPending();
    HidReport bad = vela2::buildRequest(vela2::kErase, 0, {}, 0, 2, 0, true);
    bad[7] ^= 0xFF;
    hid->setReport(bad);
    clock.advance(10);
    EXPECT_EQ(device.rejectedChecksums(), 1);
    EXPECT_EQ(device.requests(), 0);
}

TEST_F(Vela2SessionTest, DeviceReturnsInNormalModeWithTheNewVersion)
{
    VirtualVela2Bootloader device(bus, 0x6003);
    device.seedFlash(0);
    run(device, oneRecord(0x6003, 64, 0x08014000, 432));
    ASSERT_TRUE(device.wasReset());
    ASSERT_NE(device.normalMode(), nullptr);
    EXPECT_EQ(device.normalMode()->versionHundredths, 432);
    EXPECT_NE(device.normalMode()->device(), nullptr);
    EXPECT_EQ(recorder.events.back(), "remove record");
}
