#include "device/FirmwareVersion.h"

#include <QRegularExpression>

#include <cmath>

namespace flashwell::firmware_version {

namespace {
QString twoDecimals(double value)
{
    return QString::asprintf("%.2f", value);
}
} // namespace

QString number(float version)
{
    return twoDecimals(static_cast<double>(version));
}

QString text(float version, int beta)
{
    QString text = number(version);
    if (beta != 0)
        text += QStringLiteral(" beta %1").arg(beta);
    return text;
}

QString fromHundredths(uint16_t hundredths)
{
    return QStringLiteral("%1.%2").arg(hundredths / 100).arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}

double rounded(float version)
{
    return std::round(static_cast<double>(version) * 100.0) / 100.0;
}

std::optional<Wanted> parseWanted(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^v?(\\d{1,3}(?:\\.\\d{1,2})?)(?:[- ]?beta[- ]?(\\d{1,5}))?$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    return Wanted{twoDecimals(match.captured(1).toDouble()),
                  match.captured(2).isEmpty() ? 0 : match.captured(2).toInt()};
}

std::optional<uint16_t> parseHundredths(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,3})(?:\\.(\\d{1,2}))?$"));
    const auto match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const uint32_t whole = match.captured(1).toUInt();
    QString fraction = match.captured(2);
    while (fraction.size() < 2)
        fraction += QLatin1Char('0');
    const uint32_t value = whole * 100 + fraction.toUInt();
    return value <= 0xFFFF ? std::optional<uint16_t>(static_cast<uint16_t>(value)) : std::nullopt;
}

} // namespace flashwell::firmware_version
