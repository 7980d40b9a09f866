#include "commands/JsonLines.h"

#include <QJsonDocument>

namespace flashwell::lab {

namespace {
bool resultPrinted = false;
}

void printJsonLine(const QJsonObject &object, std::FILE *out)
{
    if (out == stdout && resultPrinted)
        return;
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), out);
    std::fputc('\n', out);
    std::fflush(out);
}

void printResultLine(const QJsonObject &object)
{
    printJsonLine(object);
    resultPrinted = true;
}

} // namespace flashwell::lab
