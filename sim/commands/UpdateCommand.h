#pragma once

#include <QStringList>

namespace flashwell::lab {

// `flashwell-lab update --server URL --pid HEX --version X.YY --bootloader KIND [...]`: one whole
// update through the real workflow against a virtual device and a firmware server. Prints one
// JSON object per state change, bootloader callback, alert and guide, then the result line.
// Returns 0 on success, 1 on failure, 2 on bad usage.
int runUpdate(const QStringList &args);

} // namespace flashwell::lab
