#pragma once

#include <QJsonObject>

#include <cstdio>

namespace flashwell::lab {

// One JSON object per line on standard output, flushed so a reader sees it at once. Once the
// result line is out, nothing more is printed on standard output: scripts read the last line.
void printJsonLine(const QJsonObject &object, std::FILE *out = stdout);

// The command's last line on standard output, `{"result":…}`; later standard-output lines are
// dropped.
void printResultLine(const QJsonObject &object);

} // namespace flashwell::lab
