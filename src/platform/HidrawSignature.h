#pragma once

#include <QByteArray>

#include <optional>

namespace flashwell {

// What the hidraw class directory holds: each node's name with the device path it links to. The
// path names the HID device instance (".../0003:2DC8:3208.000A/hidraw/hidraw0"), so a device that
// leaves and another that takes its node number between two looks still change it. Reading it
// costs a directory listing and a readlink per node, far less than a full enumeration, so polling
// enumerates only when it changed. None where there is no such directory (not Linux).
std::optional<QByteArray> hidrawSignature(const char *classDir = "/sys/class/hidraw");

} // namespace flashwell
