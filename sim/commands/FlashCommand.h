#pragma once

#include <QStringList>

namespace flashwell::lab {

// `flashwell-lab flash --bootloader classic --file PATH [...]`: runs the real session against a
// virtual bootloader the way the update screen drives it, printing one JSON object per delegate
// callback and a closing result line. Returns 0 on success, 1 when the update failed or stalled,
// 2 on bad usage or an unreadable file.
int runFlash(const QStringList &args);

} // namespace flashwell::lab
