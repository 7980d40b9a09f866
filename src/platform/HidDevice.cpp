#include "platform/HidDevice.h"

#include <algorithm>
#include <cstring>

namespace flashwell {

HidDevice::HidDevice(QVariantMap properties, QObject *parent)
    : QObject(parent)
    , m_properties(std::move(properties))
    , m_vendorId(numberOf(m_properties.value(kHidVendorIDKey)))
    , m_productId(numberOf(m_properties.value(kHidProductIDKey)))
{}

std::optional<int32_t> HidDevice::numberOf(const QVariant &value)
{
    if (!value.isValid() || value.typeId() == QMetaType::QString)
        return std::nullopt;
    bool ok = false;
    const int32_t n = value.toInt(&ok);
    return ok ? std::optional<int32_t>(n) : std::nullopt;
}

HidDevice::~HidDevice()
{
    disconnect(m_contextDeath);
}

void HidDevice::registerInputReportCallback(uint8_t *buffer, std::size_t length, InputReportCallback callback,
                                            const QObject *context)
{
    disconnect(m_contextDeath);
    m_buffer = buffer;
    m_bufferLength = buffer ? length : 0;
    m_callback = std::move(callback);
    m_context = context;
    m_contextRaw = context;
    if (context)
        m_contextDeath =
            connect(context, &QObject::destroyed, this, [this, context] { unregisterInputReportCallback(context); });
}

void HidDevice::unregisterInputReportCallback(const QObject *context)
{
    if (!context || m_contextRaw != context)
        return;
    disconnect(m_contextDeath);
    m_buffer = nullptr;
    m_bufferLength = 0;
    m_callback = nullptr;
    m_context = nullptr;
    m_contextRaw = nullptr;
}

void HidDevice::deliverInputReport(std::span<const uint8_t> bytes)
{
    if (m_contextRaw && !m_context) {
        unregisterInputReportCallback(m_contextRaw); // its owner is being destroyed
        return;
    }
    if (!m_callback || !m_buffer || m_bufferLength == 0)
        return;
    const std::size_t n = std::min(bytes.size(), m_bufferLength);
    if (n > 0)
        std::memcpy(m_buffer, bytes.data(), n);
    std::memset(m_buffer + n, 0, m_bufferLength - n);
    // Copy the callback: it may re-register (or the device may be unplugged) while it runs.
    const auto callback = m_callback;
    callback(this, std::span<const uint8_t>(m_buffer, n));
}

} // namespace flashwell
