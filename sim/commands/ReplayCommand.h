#pragma once

#include <QStringList>

namespace flashwell::lab {

// flashwell-lab replay FILE [--file FIRMWARE] [--speed real|virtual]
int runReplay(const QStringList &args);

} // namespace flashwell::lab
