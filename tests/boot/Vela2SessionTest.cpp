// Catches: a second-generation session that flashes the wrong record or place, or erases before refusing.
#include "boot/SHIDBootVela2.h"
#include "models/FirmwareFileBuilder.h"
#include "models/VirtualVela2Bootloader.h"
#include "platform/Bytes.h"

#include <QFile>

#include <gtest/gtest.h>

#include "support/BootSessionTest.h"

using namespace flashwell;
using namespace flashwell::lab;

namespace {

struct Sent
{
    uint16_t command;
    uint16_t length;
    uint32_t total;
    uint32_t address;
};

VirtualVela2Bootloader &infoAddressed(VirtualVela2Bootloader &d, uint16_t productId, uint8_t subType)
{
    d.info.setProductId(productId);
    d.info.raw[vela2::GamepadInfo::kSubType] = subType;
    wire::putLe16(d.info.raw, vela2::GamepadInfo::kVersion, 150);
    wire::putLe32(d.info.raw, vela2::GamepadInfo::kBootSerialAddress, 0x08003000);
    wire::putLe32(d.info.raw, vela2::GamepadInfo::kVersionWordAddress, 0x08003040);
    return d;
}

// A bootloader as a row names it: the product ID it reports and, for the info-addressed boot types,
// the product and sub-type of its info record (product 0: its own record, without addresses).
struct Bootloader
{
    uint16_t reportedPid;
    uint16_t infoProduct = 0;
    uint8_t subType = 0;
};

Bootloader boot(uint16_t reportedPid, uint16_t infoProduct = 0, uint8_t subType = 0)
{
    return {reportedPid, infoProduct, subType};
}

class Vela2SessionTest : public test::BootSessionTest<SHIDBootVela2>
{
protected:
    VirtualVela2Bootloader &make(const Bootloader &b)
    {
        made.emplace(bus, b.reportedPid);
        if (b.infoProduct)
            infoAddressed(*made, b.infoProduct, b.subType);
        return *made;
    }

    // Plugs the device, gives the session the file and starts the update as the update screen does.
    void run(VirtualVela2Bootloader &device, const QByteArray &file, int64_t ms = 60'000, bool absent = false)
    {
        device.plug();
        clock.runPending();
        session.filePath = absent ? dir.filePath(QStringLiteral("missing.bin")) : writeFile(file);
        session.readPID();
        clock.advance(ms);
    }

    // make(), with an empty flash, given the file.
    VirtualVela2Bootloader &flash(const Bootloader &b, const QByteArray &file, int64_t ms = 60'000)
    {
        VirtualVela2Bootloader &d = make(b);
        d.seedFlash(0);
        run(d, file, ms);
        return d;
    }

    // Every request, or those of one command.
    std::vector<Sent> sent(int command = -1) const
    {
        std::vector<Sent> out;
        for (const auto &r : bus.outputLog()) {
            const Sent s{wire::le16(r.bytes, 1), wire::le16(r.bytes, 5), wire::le32(r.bytes, 9),
                         wire::le32(r.bytes, 13)};
            if (command < 0 || s.command == command)
                out.push_back(s);
        }
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

    std::optional<VirtualVela2Bootloader> made;
};

// A record of `size` pattern bytes for `pid` at `address`, whose header may claim another length.
Vela2Record rec(uint32_t pid, uint32_t address, int size, std::optional<uint32_t> claimed = std::nullopt)
{
    return {100, 0, address, pid, patternBytes(size, pid + static_cast<uint32_t>(size)), claimed};
}

std::vector<Vela2Record> records(std::initializer_list<Vela2Record> list)
{
    return list;
}

QByteArray oneRecord(uint32_t pid, int size, uint32_t address = 0x01018000, uint16_t version = 321)
{
    return buildVela2File({{version, 0, address, pid, patternBytes(size, pid)}});
}

} // namespace

// The identification requests are pinned by the recordings (checksummed: second-gen-verified;
// info-addressed, the version read at 0 then the info record: second-gen-radio); here the version
// each reports and the half second the boot serial read waits.
TEST_F(Vela2SessionTest, IdentificationReportsTheVersionAndWaitsBeforeTheBootSerial)
{
    VirtualVela2Bootloader device(bus, 0x9020);
    device.seedFlash(0x00030123); // version 2.91, beta 3
    run(device, oneRecord(0x9020, 10), 100);
    EXPECT_EQ(session.bootType, 17);
    EXPECT_EQ(session.bootType_PID, 0x9020u);
    EXPECT_TRUE(recorder.has("version 2.91 beta 3"));
    EXPECT_EQ(sent().size(), 2u) << "the boot serial waits half a second";
    clock.advance(410);
    EXPECT_EQ(sent(vela2::kRead).size(), 2u);

    flash(boot(0x3103, 0x3103), oneRecord(0x3103, 10), 700);
    EXPECT_TRUE(recorder.has("version 1.50 beta 0")) << "from the info record";
}

TEST_F(Vela2SessionTest, UnlistedProductIdKeepsThePreviousBootType)
{
    session.bootType = 14;
    VirtualVela2Bootloader device(bus, 0x3014);
    run(device, oneRecord(0, 10), 50);
    EXPECT_EQ(session.bootType, 14);
    EXPECT_EQ(session.bootType_PID, 0u);
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
    EXPECT_TRUE(recorder.has("done")) << lastEvent();
}

namespace {

using Erases = std::vector<std::pair<uint32_t, uint32_t>>; // address, length

Erases erased(std::initializer_list<std::pair<uint32_t, uint32_t>> list)
{
    return list;
}

// Which record of a file a bootloader is flashed from: by its place for most boot types, by the
// product and sub-type its info record names for the searching ones (the wired Summit's always
// under product 0x2002); and how it is erased first: in 32 KiB units where the boot type wants
// them, with the version area too where it is checksummed.
struct Selection
{
    const char *what;
    Bootloader boot;
    std::vector<Vela2Record> records;
    std::size_t flashed; // the record whose payload lands in flash
    int32_t bootType;
    uint16_t searchedProduct; // the product the record search went by
    Erases erases;
};

[[maybe_unused]] void PrintTo(const Selection &c, std::ostream *os)
{
    *os << c.what;
}

class Vela2Selection : public Vela2SessionTest, public ::testing::WithParamInterface<Selection>
{
};

} // namespace

TEST_P(Vela2Selection, TheDevicesRecordIsFlashed)
{
    const Selection &c = GetParam();
    VirtualVela2Bootloader &device = flash(c.boot, buildVela2File(c.records));
    ASSERT_TRUE(recorder.has("done")) << lastEvent();
    EXPECT_EQ(session.bootType, c.bootType);
    EXPECT_EQ(session.bootType_PID, c.boot.reportedPid);
    EXPECT_EQ(session.gamepadInfo().productId(), c.searchedProduct);
    const Vela2Record &r = c.records[c.flashed];
    EXPECT_EQ(session.mainHeader().address(), r.address);
    EXPECT_EQ(device.flash().read(r.address, static_cast<int>(r.payload.size())), r.payload);
    EXPECT_EQ(session.radioLength(), 0u) << "no radio record: no radio stage";
    Erases erases;
    for (const Sent &e : sent(vela2::kErase))
        erases.emplace_back(e.address, e.total);
    EXPECT_EQ(erases, c.erases);
    EXPECT_EQ(device.rejectedChecksums(), 0);
    EXPECT_TRUE(sent(vela2::kFlashCrc).empty()) << "none of these verifies";
}

INSTANTIATE_TEST_SUITE_P(
    Records, Vela2Selection,
    ::testing::Values(Selection{"summit_reporting_2006_sub_type_1", boot(0x2003, 0x2006, 1),
                                records({rec(0x2003, 0x08020000, 64), rec(0x12002, 0x08030000, 50)}), 1, 6, 0x2002,
                                erased({{0x08030000, 50}})},
                      Selection{"summit_2003", boot(0x2003, 0x2003), records({rec(0x2002, 0x08020000, 64)}), 0, 6,
                                0x2002, erased({{0x08020000, 64}})},
                      Selection{"sub_type_in_the_high_half", boot(0x2000, 0x2000, 2),
                                records({rec(0x2000, 0x08010000, 30), rec(0x22000, 0x08020000, 30)}), 1, 3, 0x2000,
                                erased({{0x08020000, 30}})},
                      Selection{"boot_type_21_skips_the_first_record", boot(0x3103, 0x3103),
                                records({rec(0x3103, 0x08000000, 40), rec(0x3103, 0x08020000, 10'000)}), 1, 21, 0x3103,
                                erased({{0x08020000, 32'768}})},
                      // 46 + 1: the last chunk holds one byte.
                      Selection{"last_chunk_of_one_byte", boot(0x2002, 0x2002), records({rec(0x2002, 0x08020000, 47)}),
                                0, 6, 0x2002, erased({{0x08020000, 47}})},
                      Selection{"checksummed", boot(0x9020), records({rec(0x9020, 0x01018000, 120)}), 0, 17, 0,
                                erased({{0x01018000, 120}, {0x01017040, 32}})}),
    [](const auto &row) { return std::string(row.param.what); });

namespace {

// Refused files and bootloaders: the session ends with the right report and nothing is erased.
struct Refusal
{
    const char *what;
    Bootloader boot;
    QByteArray file;
    const char *ends;
    const char *says = ""; // in the error message
    uint32_t appZone = 0;
    bool absent = false; // the file named does not exist
};

[[maybe_unused]] void PrintTo(const Refusal &c, std::ostream *os)
{
    *os << c.what;
}

class Vela2Refusals : public Vela2SessionTest, public ::testing::WithParamInterface<Refusal>
{
};

} // namespace

TEST_P(Vela2Refusals, EndWithoutErasing)
{
    const Refusal &c = GetParam();
    VirtualVela2Bootloader &device = make(c.boot);
    device.appZone = c.appZone;
    device.seedFlash(0);
    run(device, c.file, 60'000, c.absent);
    EXPECT_EQ(lastEvent(), c.ends);
    EXPECT_TRUE(recorder.lastError.contains(QLatin1String(c.says))) << qPrintable(recorder.lastError);
    EXPECT_TRUE(sent(vela2::kErase).empty());
    EXPECT_TRUE(sent(vela2::kWriteChunk).empty());
    EXPECT_FALSE(heldOpen(session.filePath)) << "the refused update let go of its file";
}

const QByteArray kWithBrokenRadioRecord = buildVela2File({rec(0x9029, 0x08010000, 100), rec(0, 0x00020000, 50, 5000)});

INSTANTIATE_TEST_SUITE_P(
    Files, Vela2Refusals,
    ::testing::Values(
        Refusal{"unreadable_file", boot(0x9020), {}, "error", "cannot be read", 0, true},
        Refusal{"empty_file_for_boot_type_2", boot(0x6006), {}, "not supported"},
        Refusal{"no_record_for_the_sub_type", boot(0x2000, 0x2000, 3), buildVela2File({rec(0x2000, 0x08010000, 30)}),
                "not supported"},
        Refusal{"another_product", boot(0x9020), oneRecord(0x9025, 10), "wrong pid 36901 36896"},
        Refusal{"header_past_the_file", boot(0x9020), buildVela2File({rec(0x9020, 0x01018000, 100, 70'000)}), "error",
                "header length 70000 runs past end of file (128 bytes)"},
        Refusal{"radio_record_past_the_file", boot(0x9029, 0x9029), kWithBrokenRadioRecord, "error",
                "header length 5000 runs past end of file"},
        // The product check comes first, whatever else is wrong further on.
        Refusal{"another_products_broken_file", boot(0x9029, 0x2000),
                buildVela2File({rec(0x2000, 0x08010000, 100), rec(0, 0x00020000, 50, 5000)}), "wrong pid 8192 36905"},
        Refusal{"boot_serial_address_0", boot(0x3103), oneRecord(0, 10), "error", "boot serial address 0"},
        Refusal{"jl_sub_type_in_the_header", boot(0x3012), buildVela2File({rec(0x13012, 0, 8000)}), "error",
                "Firmware Error: \n pid : 3012 m_firmwareHeader.pid: 13012 "},
        Refusal{"jl_zone_past_the_image", boot(0x3012), buildVela2File({rec(0x3012, 0, 1000)}), "error", "", 0x4000}),
    [](const auto &row) { return std::string(row.param.what); });

// JL: the image in front of the application zone is not written, and the header held for the
// update states the length that is (the jl-erase-unit-0 recording pins the wire, not this).
TEST_F(Vela2SessionTest, JlWritesFromTheApplicationZoneOn)
{
    VirtualVela2Bootloader &device = make(boot(0x3012));
    device.appZone = 0x400;
    device.eraseUnit = 0x1000;
    device.seedFlash(0);
    const Vela2Record image = rec(0x3012, 0, 8000);
    run(device, buildVela2File({image}));
    ASSERT_TRUE(recorder.has("done")) << lastEvent();
    EXPECT_EQ(session.mainLength(), 8000u - 0x400);
    EXPECT_EQ(session.mainHeader().length(), session.mainLength());
    EXPECT_EQ(device.flash().read(0, 8000 - 0x400), image.payload.mid(0x400));
}

TEST_F(Vela2SessionTest, BootSerialAddressZeroAsksForTheInfoRecordOnceMore)
{
    VirtualVela2Bootloader device(bus, 0x3103); // info record without addresses
    run(device, oneRecord(0, 10));
    EXPECT_EQ(sent(vela2::kGamepadInfo).size(), 2u);
}

// Progress is told before each chunk, of the bytes written so far; the chunks themselves are
// pinned by the second-gen-fixed recording.
TEST_F(Vela2SessionTest, ProgressComesBeforeEachChunk)
{
    flash(boot(0x6003), oneRecord(0x6003, 100, 0x08014000)); // boot type 0: fixed addresses
    EXPECT_EQ(progress(), (std::vector<int>{0, 46, 92, 100}));
    EXPECT_TRUE(recorder.has("done"));
    EXPECT_EQ(lastEvent(), "remove record") << "the device went back to normal mode";
}

// A radio-stage update (its bytes pinned by the second-gen-radio recordings) and then one without a
// radio image, on the same session: the second one's progress is its own and reaches 100.
TEST_F(Vela2SessionTest, EachUpdateCountsProgressFromItsOwnImages)
{
    flash(boot(0x9029, 0x9029), buildVela2File({rec(0x9029, 0x08010000, 1000), rec(0, 0x00020000, 500)})).unplug();
    ASSERT_TRUE(recorder.has("done"));
    const std::vector<int> p = progress();
    EXPECT_NE(std::find(p.begin(), p.end(), 66), p.end()) << "main image complete: 1000 of 1500";
    ASSERT_EQ(p.back(), 100);
    clock.runUntilIdle();
    recorder.events.clear();
    flash(boot(0x9020), oneRecord(0x9020, 600));
    ASSERT_TRUE(recorder.has("done")) << lastEvent();
    EXPECT_EQ(session.radioLength(), 0u);
    EXPECT_EQ(progress().back(), 100);
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
    EXPECT_EQ(lastEvent(), "error");
    EXPECT_TRUE(recorder.lastError.contains(QStringLiteral("ends inside the main image")));
    for (const Sent &s : sent(vela2::kWriteChunk))
        EXPECT_GT(s.length, 0);
}
