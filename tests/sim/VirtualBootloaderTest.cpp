// Catches: a lab bootloader model whose fault plan leaves the host other answers, or a factory that drops an option.
#include "boot/ClassicFrames.h"
#include "boot/HjzProtocol.h"
#include "boot/Vela2Protocol.h"
#include "device/HidTransport.h"
#include "models/FirmwareFileBuilder.h"
#include "models/VirtualClassicBootloader.h"
#include "models/VirtualHjzBootloader.h"
#include "models/VirtualVela2Bootloader.h"
#include "rigs/SessionRig.h"
#include "runs/BootloaderFactory.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

using namespace flashwell;
using namespace flashwell::lab;

namespace {

// A bootloader model and one request it answers without changing its state.
struct ModelCase
{
    const char *name;
    std::function<std::unique_ptr<VirtualBootloader>(VirtualHidBus &)> make;
    std::function<void(HidDevice *)> ask;
};

// A fault, and when the host sees the answers to two requests sent at 0 and 1000 ms.
struct FaultCase
{
    const char *name;
    BootFaultPlan plan;
    std::vector<int64_t> arrivals;
    bool pluggedAtEnd;
};

BootFaultPlan plan(std::optional<int> BootFaultPlan::*field, int at, int64_t delayMs = 0)
{
    BootFaultPlan p;
    p.*field = at;
    p.delayMs = delayMs;
    return p;
}

const ModelCase kModels[] = {
    {"classic", [](VirtualHidBus &bus) { return std::make_unique<VirtualClassicBootloader>(bus); },
     [](HidDevice *d) { transport::sendFramedPacket(d, transport::kGuard, classic::kCommandVersion, {}); }},
    {"second generation", [](VirtualHidBus &bus) { return std::make_unique<VirtualVela2Bootloader>(bus, 0x9020); },
     [](HidDevice *d) { d->setReport(vela2::buildRequest(vela2::kReadPid, 0, {}, 0, 0, 0, false)); }},
    {"HJZ", [](VirtualHidBus &bus) { return std::make_unique<VirtualHjzBootloader>(bus); },
     [](HidDevice *d) { d->setReport(hjz::commandPacket(hjz::kPageChecksum, 0x08003400)); }},
};

// Every report takes 1 ms each way, so an answer reaches the host 2 ms after its request.
const FaultCase kFaults[] = {
    {"none", {}, {2, 1002}, true},
    {"first answer lost", plan(&BootFaultPlan::dropReplyAt, 1), {1002}, true},
    {"second answer lost", plan(&BootFaultPlan::dropReplyAt, 2), {2}, true},
    {"first answer doubled", plan(&BootFaultPlan::duplicateReplyAt, 1), {2, 2, 1002}, true},
    {"first answer late", plan(&BootFaultPlan::delayReplyAt, 1, 300), {302, 1002}, true},
    {"first answer later than the second", plan(&BootFaultPlan::delayReplyAt, 1, 1500), {1002, 1502}, true},
    {"unplugged on the second request", plan(&BootFaultPlan::unplugAfter, 1), {2}, false},
    {"unplugged on the first request", plan(&BootFaultPlan::unplugAfter, 0), {}, false},
};

class BootFaults : public ::testing::TestWithParam<std::tuple<ModelCase, FaultCase>>, protected VirtualRig
{
};

} // namespace

// Test names and failure messages show the case, not its bytes.
[[maybe_unused]] void PrintTo(const ModelCase &c, std::ostream *os)
{
    *os << c.name;
}
[[maybe_unused]] void PrintTo(const FaultCase &c, std::ostream *os)
{
    *os << c.name;
}

TEST_P(BootFaults, TheHostSeesTheAnswersThePlanLeaves)
{
    const auto &[model, fault] = GetParam();
    std::unique_ptr<VirtualBootloader> device = model.make(bus);
    device->faults = fault.plan;
    HidDevice *host = device->plug();
    ASSERT_EQ(host->open(), kIOReturnSuccess);
    HidReport buffer{};
    std::vector<int64_t> arrivals;
    host->registerInputReportCallback(buffer.data(), buffer.size(), [&](HidDevice *, std::span<const uint8_t>) {
        arrivals.push_back(clock.nowMs());
    });

    model.ask(host);
    clock.advance(1000);
    if (device->device())
        model.ask(device->device());
    clock.advance(2000);

    EXPECT_EQ(arrivals, fault.arrivals);
    EXPECT_EQ(device->device() != nullptr, fault.pluggedAtEnd);
    EXPECT_EQ(device->requests(), fault.plan.unplugAfter == 0 ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(Models, BootFaults,
                         ::testing::Combine(::testing::ValuesIn(kModels), ::testing::ValuesIn(kFaults)),
                         [](const auto &row) {
                             return test::testName(std::string(std::get<0>(row.param).name) + "_"
                                                   + std::get<1>(row.param).name);
                         });

namespace {

class BootloaderFactoryTest : public ::testing::Test, protected VirtualRig
{
protected:
    QTemporaryDir dir;

    QString hjzFile(uint32_t deviceId, uint32_t pageSize)
    {
        HjzFirmware f;
        f.deviceId = deviceId;
        f.pageSize = pageSize;
        f.data = patternBytes(static_cast<int>(pageSize) * 16);
        return test::writeTempFile(dir, f.build(), "hjz.bin");
    }
};

} // namespace

TEST_F(BootloaderFactoryTest, ClassicTakesItsIdentityInfoFaultsAndFactorySettings)
{
    LabFlashOptions o;
    o.pid = 0x3206;
    o.bootVersion = 0x0105;
    o.hwCode = 3;
    o.fwType = 2;
    o.dropReply = 4;
    o.corruptWrite = 5;
    o.unplugAfter = 6;
    const HidIdentity normal{usb::kVendorId, 0x3011, QStringLiteral("Heron")};
    auto model = makeBootloader(bus, o, {normal, 100});
    auto *classicModel = dynamic_cast<VirtualClassicBootloader *>(model.get());
    ASSERT_NE(classicModel, nullptr);
    EXPECT_EQ(model->identity().productId, 0x3206);
    EXPECT_EQ(model->identity().vendorId, usb::kVendorId);
    EXPECT_EQ(classicModel->info.bootloaderVersion, 0x0105);
    EXPECT_EQ(classicModel->info.hardwareCode, 3);
    EXPECT_EQ(classicModel->info.firmwareType, 2);
    EXPECT_EQ(classicModel->normalIdentity.productId, 0x3011);
    EXPECT_EQ(classicModel->settings[0], 0xA0);
    EXPECT_EQ(classicModel->settings[39], 0xA0 + 39);
    EXPECT_EQ(model->faults.dropReplyAt, 4);
    EXPECT_EQ(model->faults.corruptWriteAt, 5);
    EXPECT_EQ(model->faults.unplugAfter, 6);
    EXPECT_EQ(model->device(), nullptr) << "made unplugged";
}

TEST_F(BootloaderFactoryTest, SecondGenerationHoldsTheRunningVersionUnlessItIsJL)
{
    struct Row
    {
        uint16_t reportedPid;
        bool versionWord;
    };
    for (const Row row : {Row{0x9025, true}, Row{0x3012, false}}) {
        SCOPED_TRACE(row.reportedPid);
        LabFlashOptions o;
        o.bootloader = LabBootloader::SecondGen;
        o.usbPid = 0x3002;
        o.reportedPid = row.reportedPid;
        o.subType = 7;
        auto model = makeBootloader(bus, o, {std::nullopt, 0x0203});
        auto *vela2Model = dynamic_cast<VirtualVela2Bootloader *>(model.get());
        ASSERT_NE(vela2Model, nullptr);
        EXPECT_EQ(model->identity().productId, 0x3002);
        EXPECT_EQ(vela2Model->reportedPid, row.reportedPid);
        EXPECT_EQ(vela2Model->info.raw[vela2::GamepadInfo::kSubType], 7);
        EXPECT_FALSE(vela2Model->normalIdentity.has_value());
        const QByteArray word = model->flash().read(vela2Model->plan().versionWord, 2);
        EXPECT_EQ(word == QByteArray::fromHex("0302"), row.versionWord);
    }
}

TEST_F(BootloaderFactoryTest, HjzTakesItsPageLayoutFromTheFileOrTheGivenDeviceId)
{
    struct Row
    {
        const char *what;
        uint32_t fileDeviceId;
        std::optional<uint32_t> devId;
        bool withFile;
        uint32_t layoutOf;
        uint32_t pageSize;
    };
    const Row rows[] = {
        {"no file: device 387's layout", 386, std::nullopt, false, 387, 1024},
        {"the file's device id and page size", 386, std::nullopt, true, 386, 512},
        {"the given device id over the file's", 386, 387, true, 387, 512},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        LabFlashOptions o;
        o.bootloader = LabBootloader::Hjz;
        o.devId = row.devId;
        if (row.withFile)
            o.file = hjzFile(row.fileDeviceId, 512);
        auto model = makeBootloader(bus, o);
        auto *hjzModel = dynamic_cast<VirtualHjzBootloader *>(model.get());
        ASSERT_NE(hjzModel, nullptr);
        const hjz::PageSettings layout = *hjz::settingsForDevice(row.layoutOf);
        EXPECT_EQ(hjzModel->flashBase, layout.flashBase);
        EXPECT_EQ(hjzModel->packetsPerPage, layout.packetsPerPage);
        EXPECT_EQ(hjzModel->pageSize, row.pageSize);
        EXPECT_EQ(model->identity().productId, usb::kHjzBootloader.productId);
    }
}
