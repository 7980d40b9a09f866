#include "boot/Vela2Protocol.h"

#include "boot/Crc.h"

#include <algorithm>

namespace flashwell::vela2 {

const char *commandName(uint16_t command)
{
    switch (command) {
    case kWrite:
        return "word write";
    case kWriteChunk:
        return "chunk write";
    case kErase:
        return "erase";
    case kRead:
        return "flash read";
    case kReset:
        return "reset";
    case kReadPid:
        return "product ID read";
    case kGamepadInfo:
        return "gamepad info read";
    case kJlInfo:
        return "JL info read";
    case kJlSaveHead:
        return "JL head save";
    case kFlashCrc:
        return "flash CRC read";
    default:
        return "unknown command";
    }
}

std::optional<int32_t> bootTypeForPid(uint32_t pid)
{
    struct Row
    {
        uint32_t pid;
        int32_t bootType;
    };
    static constexpr Row kTable[] = {
        {0x2000, 3},  {0x3010, 1},  {0x3011, 11}, {0x3012, 9},  {0x3013, 12}, {0x3015, 14}, {0x3016, 14},
        {0x3017, 14}, {0x3103, 21}, {0x3105, 5},  {0x9025, 15}, {0x9026, 16}, {0x5006, 18}, {0x5111, 8},
        {0x5112, 7},  {0x6003, 0},  {0x6006, 2},  {0x6007, 10}, {0x6008, 13}, {0x9018, 20}, {0x9020, 17},
        {0x9029, 19}, {0x2002, 6},  {0x2003, 6},  {0x2006, 6},
    };
    for (const Row &row : kTable)
        if (row.pid == pid)
            return row.bootType;
    return std::nullopt;
}

bool isSummitWired(uint32_t pid)
{
    return pid == 0x2002 || pid == 0x2003 || pid == 0x2006;
}

bool isJLProductId(uint32_t pid)
{
    return pid == 0x3012 || pid == 0x3013 || pid == 0x6008;
}

BootTypeTraits traitsOf(int32_t t)
{
    struct Row
    {
        int32_t bootType;
        BootTypeTraits traits;
    };
    static constexpr Row kTable[] = {
        {1, {.checksummed = true}},
        {2, {.checksummed = true, .skipsFirstRecord = true, .emptyFileUnsupported = true}},
        {3, {.infoAddressed = true, .searchesRecords = true, .radioStage = true}},
        {5, {.infoAddressed = true, .roundsMainErase = true}},
        {6, {.infoAddressed = true, .searchesRecords = true, .radioStage = true}},
        {7, {.checksummed = true}},
        {8, {.checksummed = true}},
        {10, {.checksummed = true}},
        {15, {.checksummed = true}},
        {16, {.checksummed = true}},
        {17, {.checksummed = true}},
        {18, {.checksummed = true, .skipsFirstRecord = true}},
        {19,
         {.infoAddressed = true,
          .searchesRecords = true,
          .radioStage = true,
          .roundsMainErase = true,
          .radioVersionAddress = 0x88004034}},
        {20, {.checksummed = true, .skipsFirstRecord = true}},
        {21,
         {.infoAddressed = true,
          .skipsFirstRecord = true,
          .radioStage = true,
          .roundsMainErase = true,
          .roundsRadioErase = true,
          .radioRecordKey = 1}},
    };
    for (const Row &row : kTable)
        if (row.bootType == t)
            return row.traits;
    return {};
}

bool isChecksummedBootType(int32_t t)
{
    return traitsOf(t).checksummed;
}

bool isInfoAddressedBootType(int32_t t)
{
    return traitsOf(t).infoAddressed;
}

bool skipsFirstRecord(int32_t t)
{
    return traitsOf(t).skipsFirstRecord;
}

bool searchesRecords(int32_t t)
{
    return traitsOf(t).searchesRecords;
}

bool hasRadioStage(int32_t t)
{
    return traitsOf(t).radioStage;
}

AddressPlan addressPlan(int32_t bootType, const GamepadInfo &info)
{
    if (isChecksummedBootType(bootType))
        return {0x01017000, 0x01017040, 0x01018000};
    if (isInfoAddressedBootType(bootType))
        return {info.bootSerialAddress(), info.versionWordAddress(), std::nullopt};
    return {0x0800001C, 0x08014034, 0x08014000};
}

uint16_t requestChecksum(std::span<const uint8_t> data, bool checksummed)
{
    if (!checksummed)
        return 0x0000;
    return crc::modbus(data); // 0xFFFF for no data
}

HidReport buildRequest(uint16_t command, uint16_t parameter, std::span<const uint8_t> data, uint32_t length,
                       uint32_t totalLength, uint32_t address, bool checksummed)
{
    HidReport r{};
    r[0] = 0x05;
    wire::putLe16(r, Request::kCommand, command);
    wire::putLe16(r, Request::kParameter, parameter);
    const std::size_t dataLength = std::min<std::size_t>(length, kMaxData);
    wire::putLe16(r, Request::kLength, static_cast<uint16_t>(dataLength));
    wire::putLe32(r, Request::kTotalLength, totalLength);
    wire::putLe32(r, Request::kAddress, address);
    if (!data.empty())
        std::copy_n(data.begin(), std::min(dataLength, data.size()), r.begin() + Request::kData);
    const auto field = std::span<const uint8_t>(r).subspan(Request::kData, dataLength);
    wire::putLe16(r, Request::kChecksum, requestChecksum(field, checksummed));
    return r;
}

bool isReplyTo(std::span<const uint8_t> report, uint16_t command)
{
    return report.size() >= 6 && report[0] == 0x00 && report[1] == 0x05 && wire::le16(report, 2) == 0
           && wire::le16(report, 4) == command;
}

HidReport buildReply(uint16_t command, std::span<const uint8_t> payload)
{
    HidReport r{};
    r[0] = 0x00;
    r[1] = 0x05;
    wire::putLe16(r, 4, command);
    std::copy_n(payload.begin(), std::min(payload.size(), kHidReportSize - kReplyPayload), r.begin() + kReplyPayload);
    return r;
}

} // namespace flashwell::vela2
