#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace flashwell::hidraw {

// True when a HID report descriptor declares at least one Report ID item (global item, tag 8).
// Walks short and long items; a truncated descriptor is read as far as it goes.
bool reportDescriptorUsesReportIds(std::span<const uint8_t> descriptor);

// The bytes to hand to hid_write so that exactly `report` reaches the device.
//
// On Linux, hidapi passes the buffer to hidraw, and usbhid treats the first byte as the report
// ID: for a device without numbered reports it strips that byte (whatever its value) before the
// transfer. So for such a device we always put 0x00 in front, also when our first byte is 0x00
// itself. A device with numbered reports expects the report ID as our first byte, and the
// kernel sends the buffer as it is.
std::vector<uint8_t> shapeOutputReport(std::span<const uint8_t> report, bool numberedReports);

} // namespace flashwell::hidraw
