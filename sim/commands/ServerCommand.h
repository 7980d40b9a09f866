#pragma once

#include <QStringList>

namespace flashwell::lab {

// `flashwell-lab server [--port N] [--dir PATH]`: runs the lab's firmware server on 127.0.0.1
// until interrupted, serving the releases listed in PATH/releases.json.
int runServer(const QStringList &args);

} // namespace flashwell::lab
