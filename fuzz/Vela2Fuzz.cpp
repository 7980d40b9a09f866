// Second-generation fuzzing. With FLASHWELL_FUZZ_FILE: the image records of an arbitrary firmware
// file are located in memory (the first input bytes pick the boot type and the search key), and
// what comes back must be consistent with the file. Without it: arbitrary reply reports are fed to
// the session, the JL path included, while it waits for each step.
#include "FuzzSupport.h"
#include "boot/Vela2Records.h"
#include "platform/Bytes.h"

#ifndef FLASHWELL_FUZZ_FILE
#include "boot/SHIDBootVela2.h"
#include "device/UsbIdentities.h"
#include "models/VirtualVela2Bootloader.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"
#include "rigs/QuietBootDelegate.h"

#include <map>
#endif

#include <QBuffer>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace flashwell;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::initialise(argc, argv);
    return 0;
}

#ifdef FLASHWELL_FUZZ_FILE

namespace {

// Every listed boot type, and 0 for an unlisted one (no rules at all).
constexpr std::array<int32_t, 16> kBootTypes = {0, 1, 2, 3, 5, 6, 7, 8, 10, 15, 16, 17, 18, 19, 20, 21};
constexpr std::size_t kPicks = 4; // boot type, search key product (2 bytes), search key sub-type

void expect(bool holds)
{
    if (!holds)
        std::abort();
}

// A record found must be the header at its place, and its payload must lie within the file.
void expectWithin(const std::optional<vela2::ImageRecord> &record, std::span<const uint8_t> file)
{
    if (!record)
        return;
    const auto size = static_cast<qint64>(file.size());
    expect(record->headerAt >= 0 && record->end() <= size);
    const auto stored = file.subspan(static_cast<std::size_t>(record->headerAt), classic::kHeaderSize);
    expect(std::equal(stored.begin(), stored.end(), record->header.raw.begin()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size < kPicks)
        return 0;
    const int32_t bootType = kBootTypes[data[0] % kBootTypes.size()];
    const uint32_t searchKey = wire::le16(std::span<const uint8_t>(data, size), 1) + data[3] * 0x10000u;
    const std::span<const uint8_t> file(data + kPicks, size - kPicks);
    QByteArray bytes = QByteArray::fromRawData(charsOf(file), static_cast<qsizetype>(file.size()));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return 0;

    const vela2::BootTypeTraits traits = vela2::traitsOf(bootType);
    QString whyNot;
    const vela2::FileImages images = vela2::locateImages(buffer, traits, searchKey, whyNot);
    expectWithin(images.main, file);
    expectWithin(images.radio, file);
    switch (images.verdict) {
    case vela2::FileVerdict::Usable:
        expect(images.main.has_value() && whyNot.isEmpty());
        expect(images.foundBySearch == traits.searchesRecords);
        expect(!images.radio || (traits.radioStage && !traits.checksummed));
        break;
    case vela2::FileVerdict::NotThisDevice:
        expect(!images.main && !images.radio && whyNot.isEmpty());
        break;
    case vela2::FileVerdict::Malformed:
        expect(!images.radio && !whyNot.isEmpty());
        break;
    }
    return 0;
}

#else

namespace {

constexpr std::array<uint16_t, 15> kPids = {0x9020, 0x9025, 0x9026, 0x6006, 0x3016, 0x6003, 0x3105, 0x3103,
                                            0x2000, 0x9029, 0x2003, 0x3014, 0x3012, 0x3013, 0x6008};

using Sink = lab::QuietBootDelegate;

// A small valid file for `pid`, so the session gets as far as the replies let it; made once per
// product and handed to the session as bytes.
const QByteArray &fileFor(uint16_t pid)
{
    static std::map<uint16_t, QByteArray> files;
    auto found = files.find(pid);
    if (found != files.end())
        return found->second;
    std::array<uint8_t, 28 + 64> file{};
    wire::putLe32(file, 4, 0x01018000);
    wire::putLe32(file, 8, 64);
    wire::putLe32(file, 12, pid);
    return files.emplace(pid, byteArrayOf(file)).first->second;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const uint16_t pid = kPids[data[0] % kPids.size()];
    static Sink sink;
    auto &rig = fuzz::rig<SHIDBootVela2>();
    VirtualScheduler &clock = rig.clock;
    VirtualHidBus &bus = rig.bus;
    SHIDBootVela2 &session = rig.reset();
    session.addBootDelegate(&sink);
    session.open();
    lab::VirtualVela2Bootloader device(bus, pid);
    lab::VirtualVela2Bootloader::putLabInfoAddresses(device.info);
    device.info.raw[vela2::GamepadInfo::kSubType] = data[1] & 3;
    device.seedFlash(100);
    device.appZone = static_cast<uint32_t>(data[1] >> 2) * 64; // the JL variants' zone and unit
    device.eraseUnit = (data[1] & 0x80) ? 0 : 4096;
    session.fileSource.setBytes(fileFor(pid));
    HidDevice *hid = bus.plug({usb::kVendorId, usb::kSecondGenBootloader.productId, {}}, nullptr);
    clock.runPending();
    session.readPID();
    std::size_t at = 2;
    while (at < size) {
        const std::size_t length = std::min<std::size_t>(data[at] % 65, size - at - 1);
        bus.sendInput(hid, std::span<const uint8_t>(data + at + 1, length));
        clock.advance(1 + (data[at] >> 6) * 300);
        at += 1 + length;
    }
    clock.advance(2000);
    bus.unplug(hid); // the rig's bus outlives this input
    return 0;
}

#endif
