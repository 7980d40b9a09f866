#pragma once

#include "platform/HidReport.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace flashwell {

// Property keys a device handle answers, as IOKit names them.
inline const QString kHidVendorIDKey = QStringLiteral("VendorID");
inline const QString kHidProductIDKey = QStringLiteral("ProductID");
inline const QString kHidProductKey = QStringLiteral("Product");
inline const QString kHidPrimaryUsagePageKey = QStringLiteral("PrimaryUsagePage");
inline const QString kHidPrimaryUsageKey = QStringLiteral("PrimaryUsage");
// The report descriptor's bytes (QByteArray), where the backend can read it.
inline const QString kHidReportDescriptorKey = QStringLiteral("ReportDescriptor");

// One attached HID device, as the watchers and sessions see it. The backend owns the object
// and destroys it when the device leaves; keep it through HidDeviceRef, which then reads null.
class HidDevice : public QObject
{
    Q_OBJECT
public:
    // Called on the UI thread with the registered buffer, already filled.
    using InputReportCallback = std::function<void(HidDevice *sender, std::span<const uint8_t> report)>;

    explicit HidDevice(QVariantMap properties, QObject *parent = nullptr);
    ~HidDevice() override;

    // "VendorID" and "ProductID" are numbers, "Product" a string; invalid when absent.
    QVariant property(const QString &key) const { return m_properties.value(key); }
    QVariantMap properties() const { return m_properties; }
    // A property's value as a number: none when it is absent, a string or not convertible.
    static std::optional<int32_t> numberOf(const QVariant &value);
    // "VendorID" and "ProductID" as numberOf reads them, taken once when the handle is made (the
    // properties never change): the sessions ask for them with every report they send.
    std::optional<int32_t> vendorIdNumber() const { return m_vendorId; }
    std::optional<int32_t> productIdNumber() const { return m_productId; }

    virtual IOReturn open() = 0;
    // The system's error number for the last open that failed (0 when unknown or none).
    virtual int openErrno() const { return 0; }
    // An output report, report ID argument 0, exactly as given (64 bytes).
    virtual IOReturn setReport(std::span<const uint8_t> report) = 0;

    // Reports are copied into `buffer` (at most `length` bytes, the rest zeroed) before the
    // callback runs. Registering again replaces the previous callback, as on IOKit. When `context`
    // is given, the registration ends by itself as soon as the context is destroyed: the buffer and
    // the callback usually belong to it.
    void registerInputReportCallback(uint8_t *buffer, std::size_t length, InputReportCallback callback,
                                     const QObject *context = nullptr);
    // Ends the registration made with `context`; one made by anybody else stays.
    void unregisterInputReportCallback(const QObject *context);

protected:
    // Backends call this on the UI thread for every report the device sends.
    void deliverInputReport(std::span<const uint8_t> bytes);

private:
    QVariantMap m_properties;
    std::optional<int32_t> m_vendorId;
    std::optional<int32_t> m_productId;
    uint8_t *m_buffer = nullptr;
    std::size_t m_bufferLength = 0;
    InputReportCallback m_callback;
    QPointer<const QObject> m_context;
    const QObject *m_contextRaw = nullptr; // identity only, never dereferenced
    QMetaObject::Connection m_contextDeath;
};

// The "not retained" handle of IOKit: null once the device has gone.
using HidDeviceRef = QPointer<HidDevice>;

} // namespace flashwell
