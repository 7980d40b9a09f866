#include "lab/JsonLines.h"

#include <QJsonDocument>

namespace flashwell::lab {

void printJsonLine(const QJsonObject &object, std::FILE *out)
{
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), out);
    std::fputc('\n', out);
    std::fflush(out);
}

} // namespace flashwell::lab
