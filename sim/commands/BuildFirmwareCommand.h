#pragma once

#include <QStringList>

namespace flashwell::lab {

// `flashwell-lab build-firmware --out PATH [...]`: writes a classic firmware file of patterned
// data, for trying `flash` by hand.
int runBuildFirmware(const QStringList &args);

} // namespace flashwell::lab
