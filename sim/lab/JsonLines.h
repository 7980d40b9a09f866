#pragma once

#include <QJsonObject>

#include <cstdio>

namespace flashwell::lab {

// One JSON object per line on standard output, flushed so a reader sees it at once.
void printJsonLine(const QJsonObject &object, std::FILE *out = stdout);

} // namespace flashwell::lab
