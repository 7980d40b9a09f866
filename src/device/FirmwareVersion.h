#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Firmware versions as people read and type them. A version is a float on the wire and in the
// records (1.01f is 1.00999…); every screen, line and JSON object shows it with two decimals.
namespace flashwell::firmware_version {

// "1.02".
QString number(float version);
// "1.02 beta 3"; "1.02" for a release build (beta 0).
QString text(float version, int beta);
// "1.02" from hundredths (102), without a float in between.
QString fromHundredths(uint16_t hundredths);
// The version rounded to hundredths (1.01f gives 1.01), for JSON numbers.
double rounded(float version);

// A release as a user names it: "1.05", "v1.5", "1.05-beta2", "1.05 beta 2" (any case, trimmed).
struct Wanted
{
    QString number; // as number() shows it: "1.50"
    int beta = 0;
};
std::optional<Wanted> parseWanted(const QString &text);
// "1.02" -> 102: up to three whole digits and two decimals, at most 655.35.
std::optional<uint16_t> parseHundredths(const QString &text);

} // namespace flashwell::firmware_version
