#pragma once

#include <QStringList>

namespace flashwell::lab {

// `flashwell-lab discover [--hidapi [--seconds N]]`: plugs a set of virtual devices into the
// real watchers (or, with --hidapi, watches the real bus) and prints every announcement and
// removal as one JSON object per line. Returns the process exit status.
int runDiscover(const QStringList &args);

} // namespace flashwell::lab
