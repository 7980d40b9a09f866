#include "device/WatcherFrames.h"

#include "device/ProductRules.h"

namespace flashwell::frames {

HidReport buildShortFrame(const ShortFrame &frame, bool lead05)
{
    HidReport r{};
    r[ShortFrame::kLead] = lead05 ? ShortFrame::kLeadByte05 : ShortFrame::kLeadByte;
    r[ShortFrame::kZero] = 0x00;
    r[ShortFrame::kKind] = frame.kind;
    wire::putLe16(r, ShortFrame::kOne, 0x0001);
    r[ShortFrame::kValue] = frame.value;
    return r;
}

std::optional<ShortFrame> parseShortFrame(std::span<const uint8_t> report)
{
    if (report.size() < ShortFrame::kSize)
        return std::nullopt;
    const uint8_t lead = report[ShortFrame::kLead];
    if ((lead != ShortFrame::kLeadByte && lead != ShortFrame::kLeadByte05) || report[ShortFrame::kZero] != 0x00
        || wire::le16(report, ShortFrame::kOne) != 0x0001)
        return std::nullopt;
    return ShortFrame{report[ShortFrame::kKind], report[ShortFrame::kValue]};
}

HidReport buildVendorCommand(const VendorCommand &command)
{
    HidReport r{};
    r[VendorCommand::kReportId] = command.reportId;
    r[VendorCommand::kMarker] = VendorCommand::kMarkerByte;
    r[VendorCommand::kMagic] = VendorCommand::kMagicByte;
    r[VendorCommand::kCommand] = command.command;
    r[VendorCommand::kValue] = command.value;
    return r;
}

std::optional<VendorCommand> parseVendorCommand(std::span<const uint8_t> report)
{
    if (report.size() < VendorCommand::kSize || report[VendorCommand::kMarker] != VendorCommand::kMarkerByte
        || report[VendorCommand::kMagic] != VendorCommand::kMagicByte)
        return std::nullopt;
    return VendorCommand{report[VendorCommand::kReportId], report[VendorCommand::kCommand],
                         report[VendorCommand::kValue]};
}

HidReport buildExtendedCommand(const ExtendedCommand &command)
{
    HidReport r{};
    r[ExtendedCommand::kLead] = ExtendedCommand::kLeadByte;
    r[ExtendedCommand::kKind] = ExtendedCommand::kKindByte;
    r[ExtendedCommand::kCommand] = command.command;
    r[ExtendedCommand::kValue] = command.value;
    return r;
}

std::optional<ExtendedCommand> parseExtendedCommand(std::span<const uint8_t> report)
{
    if (report.size() < ExtendedCommand::kSize || report[ExtendedCommand::kLead] != ExtendedCommand::kLeadByte
        || report[ExtendedCommand::kKind] != ExtendedCommand::kKindByte)
        return std::nullopt;
    return ExtendedCommand{report[ExtendedCommand::kCommand], report[ExtendedCommand::kValue]};
}

namespace {
std::size_t bootVersionAt(uint16_t pid)
{
    return products::bootVersionAtByte6(pid) ? DinputReply::kTail6 : DinputReply::kTail5;
}
} // namespace

HidReport buildDinputReply(DinputLayout layout, uint16_t pid, const DinputReply &reply, bool bothMarkers)
{
    HidReport r{};
    if (layout == DinputLayout::A) {
        r[DinputReply::kMarkerA] = DinputReply::kMarker;
        wire::putLe16(r, DinputReply::kVersionA, reply.versionHundredths);
        wire::putLe16(r, DinputReply::kBetaA, reply.beta);
        if (products::reportsSwitchFlagInLayoutA(pid))
            r[DinputReply::kSwitchFlag] = reply.canSwitch.value_or(false) ? 1 : 0;
        else if (products::reportsBootVersion(pid))
            wire::putLe16(r, bootVersionAt(pid), reply.bootVersion.value_or(0));
        return r;
    }
    r[0] = bothMarkers ? DinputReply::kMarker : 0x01;
    r[DinputReply::kMarkerB] = DinputReply::kMarker;
    wire::putLe16(r, DinputReply::kVersionB, reply.versionHundredths);
    r[DinputReply::kBetaB] = static_cast<uint8_t>(reply.beta);
    if (products::reportsBootVersion(pid))
        wire::putLe16(r, bootVersionAt(pid), reply.bootVersion.value_or(0));
    else if (pid == products::kDualReceiverPid)
        wire::putLe16(r, DinputReply::kTail6, reply.subPid.value_or(0));
    return r;
}

std::optional<DinputReply> parseDinputReply(DinputLayout layout, uint16_t pid, std::span<const uint8_t> report)
{
    if (report.size() < DinputReply::kSize)
        return std::nullopt;
    DinputReply reply;
    if (layout == DinputLayout::A) {
        if (report[DinputReply::kMarkerA] != DinputReply::kMarker)
            return std::nullopt;
        reply.versionHundredths = wire::le16(report, DinputReply::kVersionA);
        reply.beta = wire::le16(report, DinputReply::kBetaA);
        if (products::reportsBootVersion(pid))
            reply.bootVersion = wire::le16(report, bootVersionAt(pid));
        else if (products::reportsSwitchFlagInLayoutA(pid))
            reply.canSwitch = report[DinputReply::kSwitchFlag] != 0;
        return reply;
    }
    if (report[DinputReply::kMarkerB] != DinputReply::kMarker)
        return std::nullopt;
    reply.versionHundredths = wire::le16(report, DinputReply::kVersionB);
    reply.beta = report[DinputReply::kBetaB];
    if (products::reportsBootVersion(pid))
        reply.bootVersion = wire::le16(report, bootVersionAt(pid));
    else if (pid == products::kDualReceiverPid)
        reply.subPid = wire::le16(report, DinputReply::kTail6);
    return reply;
}

HidReport buildVendorReply(const VendorReply &reply)
{
    HidReport r{};
    r[VendorReply::kReportId] = reply.reportId;
    r[VendorReply::kMarker] = VendorReply::kMarkerByte;
    r[VendorReply::kPid] = static_cast<uint8_t>(reply.pid >> 8);
    r[VendorReply::kPid + 1] = static_cast<uint8_t>(reply.pid & 0xFF);
    wire::putLe16(r, VendorReply::kVersion, reply.versionHundredths);
    wire::putLe16(r, VendorReply::kBeta, reply.beta);
    wire::putLe16(r, VendorReply::kField10, reply.field10);
    return r;
}

std::optional<VendorReply> parseVendorReply(std::span<const uint8_t> report)
{
    if (report.size() < VendorReply::kSize)
        return std::nullopt;
    const uint8_t id = report[VendorReply::kReportId];
    if ((id != 0x01 && id != 0x05 && id != 0x81) || report[VendorReply::kMarker] != VendorReply::kMarkerByte)
        return std::nullopt;
    return VendorReply{id, wire::be16(report, VendorReply::kPid), wire::le16(report, VendorReply::kVersion),
                       wire::le16(report, VendorReply::kBeta), wire::le16(report, VendorReply::kField10)};
}

} // namespace flashwell::frames
