#pragma once

#include "platform/Bytes.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <span>

namespace flashwell::fuzz {

// Once per fuzzer process: the application object the sessions expect, quiet logging (failures
// are what we feed them), and a folder for the firmware files.
inline void initialise(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    QLoggingCategory::setFilterRules(QStringLiteral("flashwell.*=false"));
}

// Writes the input as the firmware file the session will read; returns its path.
inline QString writeInput(std::span<const uint8_t> bytes, const char *name = "fw.bin")
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(byteArrayOf(bytes));
    return path;
}

inline QString writeInput(const uint8_t *data, std::size_t size, const char *name = "fw.bin")
{
    return writeInput({data, size}, name);
}

} // namespace flashwell::fuzz
