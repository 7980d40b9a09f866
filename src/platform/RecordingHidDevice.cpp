#include "platform/RecordingHidDevice.h"

#include "platform/RecordingHidBackend.h"

namespace flashwell {

RecordingHidDevice::RecordingHidDevice(HidDevice &inner, QString handle, RecordingHidBackend &backend)
    : HidDevice(inner.properties(), &backend)
    , m_inner(&inner)
    , m_handle(std::move(handle))
    , m_backend(backend)
{
    inner.registerInputReportCallback(
        m_buffer.data(), m_buffer.size(),
        [this](HidDevice *, std::span<const uint8_t> report) {
            m_backend.recordInput(*this, report);
            deliverInputReport(report);
        },
        this);
}

RecordingHidDevice::~RecordingHidDevice()
{
    if (m_inner)
        m_inner->unregisterInputReportCallback(this);
}

IOReturn RecordingHidDevice::open()
{
    return m_inner ? m_inner->open() : kIOReturnError;
}

int RecordingHidDevice::openErrno() const
{
    return m_inner ? m_inner->openErrno() : 0;
}

IOReturn RecordingHidDevice::setReport(std::span<const uint8_t> report)
{
    if (!m_inner)
        return kIOReturnError;
    const IOReturn result = m_inner->setReport(report);
    m_backend.recordOutput(*this, report, result);
    return result;
}

} // namespace flashwell
