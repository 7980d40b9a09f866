#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>
#include <optional>

namespace flashwell {

// Where a session reads its firmware: the file at a path, or the same bytes held in memory. An
// update always names a file; the bytes let fuzzers and benchmarks feed images without one, and
// both go through the same reading code.
class FirmwareSource
{
public:
    // The firmware is `bytes` from now on, whatever path is set.
    void setBytes(QByteArray bytes) { m_bytes = std::move(bytes); }
    void clearBytes() { m_bytes.reset(); }
    bool hasBytes() const { return m_bytes.has_value(); }

    // A device over the bytes, else over the file at `path`; opened with `mode` when it can be
    // (check isOpen(), and errorString() when it is not).
    std::unique_ptr<QIODevice> open(const QString &path, QIODevice::OpenMode mode) const;

private:
    std::optional<QByteArray> m_bytes;
};

} // namespace flashwell
