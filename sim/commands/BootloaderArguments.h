#pragma once

#include "platform/CommandLine.h"
#include "runs/LabFlashRun.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace flashwell::lab {

// A number in `base` (16 takes an optional 0x); nothing when the text is not one.
std::optional<uint32_t> parseNumber(const QString &text, int base);

// The bootloader options `flash` and `update` share (--bootloader, the USB and info identities,
// the JL and HJZ settings, --receiver-settings, --dump-flash and --fault), read into one
// LabFlashOptions.
class BootloaderArguments
{
public:
    explicit BootloaderArguments(LabFlashOptions &options)
        : m_o(options)
    {}

    // Adds these options to a command's line.
    void addTo(CommandLine &line);
    // Once every argument is read: the bootloader kind and the identity checks; an error text,
    // empty when the options hold together.
    QString finish();

    bool usbPidGiven() const { return m_usbPidGiven; }
    bool reportedPidGiven() const { return m_reportedPidGiven; }
    const QString &dumpFlash() const { return m_dumpFlash; }

private:
    QString takeFault(const QString &value);

    LabFlashOptions &m_o;
    QString m_bootloader;
    QString m_dumpFlash;
    bool m_usbPidGiven = false;
    bool m_reportedPidGiven = false;
};

} // namespace flashwell::lab
