#include "platform/RecordingHidBackend.h"

#include "platform/RecordingHidDevice.h"
#include "platform/RecordingWriter.h"

#include <QJsonObject>

namespace flashwell {

namespace {
QString hexOf(std::span<const uint8_t> bytes)
{
    return QString::fromLatin1(
        QByteArray::fromRawData(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()))
            .toHex());
}
} // namespace

RecordingHidBackend::RecordingHidBackend(HidBackend &inner, RecordingWriter &writer, Filter filter, QObject *parent)
    : HidBackend(parent)
    , m_inner(inner)
    , m_writer(writer)
    , m_filter(std::move(filter))
{
    // Devices already attached were there when the recording began.
    for (HidDevice *device : inner.devices())
        wrap(device);
    connect(&inner, &HidBackend::deviceArrived, this, &RecordingHidBackend::onArrived);
    connect(&inner, &HidBackend::deviceRemoved, this, &RecordingHidBackend::onRemoved);
    connect(&inner, &HidBackend::deviceOpened, this, [this](HidDevice *device) { Q_EMIT deviceOpened(outer(device)); });
    connect(&inner, &HidBackend::deviceOpenFailed, this, [this](HidDevice *device) {
        if (RecordingHidDevice *wrapper = m_wrappers.value(device)) {
            m_writer.write(QJsonObject{{QStringLiteral("event"), QStringLiteral("open_failed")},
                                       {QStringLiteral("handle"), wrapper->handle()},
                                       {QStringLiteral("errno"), device->openErrno()}});
        }
        Q_EMIT deviceOpenFailed(outer(device));
    });
}

RecordingHidBackend::~RecordingHidBackend()
{
    disconnect(&m_inner, nullptr, this, nullptr);
    qDeleteAll(m_wrappers);
}

QList<HidDevice *> RecordingHidBackend::devices() const
{
    QList<HidDevice *> out;
    for (HidDevice *device : m_inner.devices())
        out.append(outer(device));
    return out;
}

HidDevice *RecordingHidBackend::outer(HidDevice *device) const
{
    RecordingHidDevice *wrapper = m_wrappers.value(device);
    return wrapper ? static_cast<HidDevice *>(wrapper) : device;
}

HidDevice *RecordingHidBackend::wrap(HidDevice *device)
{
    if (m_filter && !m_filter(*device))
        return device;
    const QString handle = QStringLiteral("d%1").arg(m_nextHandle++);
    auto *wrapper = new RecordingHidDevice(*device, handle, *this);
    m_wrappers.insert(device, wrapper);
    writeArrival(*wrapper);
    return wrapper;
}

void RecordingHidBackend::beginRecording()
{
    m_outputReports = 0;
    for (HidDevice *device : m_inner.devices()) {
        if (const RecordingHidDevice *wrapper = m_wrappers.value(device))
            writeArrival(*wrapper);
    }
}

void RecordingHidBackend::writeArrival(const RecordingHidDevice &wrapper)
{
    const HidDevice *device = &wrapper;
    // What identifies the device, never where it is attached or its serial number.
    m_writer.write(QJsonObject{
        {QStringLiteral("event"), QStringLiteral("arrived")},
        {QStringLiteral("handle"), wrapper.handle()},
        {QStringLiteral("vid"), static_cast<int>(device->property(kHidVendorIDKey).toUInt())},
        {QStringLiteral("pid"), static_cast<int>(device->property(kHidProductIDKey).toUInt())},
        {QStringLiteral("usage_page"), static_cast<int>(device->property(kHidPrimaryUsagePageKey).toUInt())},
        {QStringLiteral("usage"), static_cast<int>(device->property(kHidPrimaryUsageKey).toUInt())},
        {QStringLiteral("product"), device->property(kHidProductKey).toString()},
        {QStringLiteral("descriptor"),
         QString::fromLatin1(device->property(kHidReportDescriptorKey).toByteArray().toHex())}});
}

void RecordingHidBackend::onArrived(HidDevice *device)
{
    Q_EMIT deviceArrived(wrap(device));
}

void RecordingHidBackend::onRemoved(HidDevice *device)
{
    RecordingHidDevice *wrapper = m_wrappers.take(device);
    if (!wrapper) {
        Q_EMIT deviceRemoved(device);
        return;
    }
    m_writer.write(
        QJsonObject{{QStringLiteral("event"), QStringLiteral("left")}, {QStringLiteral("handle"), wrapper->handle()}});
    Q_EMIT deviceRemoved(wrapper);
    delete wrapper; // every HidDeviceRef to it reads null from here on, as with the inner device
}

void RecordingHidBackend::recordOutput(const RecordingHidDevice &device, std::span<const uint8_t> report,
                                       IOReturn result)
{
    m_writer.write(QJsonObject{{QStringLiteral("event"), QStringLiteral("output")},
                               {QStringLiteral("handle"), device.handle()},
                               {QStringLiteral("report"), ++m_outputReports},
                               {QStringLiteral("bytes"), hexOf(report)},
                               {QStringLiteral("result"), static_cast<qint64>(result)}});
}

void RecordingHidBackend::recordInput(const RecordingHidDevice &device, std::span<const uint8_t> report)
{
    m_writer.write(QJsonObject{{QStringLiteral("event"), QStringLiteral("input")},
                               {QStringLiteral("handle"), device.handle()},
                               {QStringLiteral("after"), m_outputReports},
                               {QStringLiteral("bytes"), hexOf(report)}});
}

} // namespace flashwell
