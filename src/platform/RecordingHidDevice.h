#pragma once

#include "platform/HidDevice.h"

#include <array>

namespace flashwell {

class RecordingHidBackend;

// A device of a RecordingHidBackend: hands every call to the device it stands for and tells its
// backend what went through.
class RecordingHidDevice final : public HidDevice
{
    Q_OBJECT
public:
    RecordingHidDevice(HidDevice &inner, QString handle, RecordingHidBackend &backend);
    ~RecordingHidDevice() override;

    IOReturn open() override;
    int openErrno() const override;
    IOReturn setReport(std::span<const uint8_t> report) override;

    const QString &handle() const { return m_handle; }
    HidDevice *inner() const { return m_inner.data(); }

private:
    QPointer<HidDevice> m_inner;
    QString m_handle;
    RecordingHidBackend &m_backend;
    // Large enough for any report a backend delivers; the listener's own buffer limits what it sees.
    std::array<uint8_t, 4096> m_buffer{};
};

} // namespace flashwell
