#include "update/ProcessRecording.h"

#include "device/UsbIdentities.h"
#include "platform/ApplicationContext.h"
#include "platform/RecordingHidBackend.h"
#include "platform/RecordingWriter.h"

#include <QJsonObject>

namespace flashwell::process_recording {

bool isOurDevice(const HidDevice &device)
{
    const auto vid = static_cast<uint16_t>(device.property(kHidVendorIDKey).toUInt());
    return vid == usb::kVendorId || vid == usb::kClassicBorrowedVendorId || vid == usb::kSwitchVendorId
           || vid == usb::kSonyVendorId || vid == usb::kXinputVendorId;
}

RecordingWriter *install(ApplicationContext &context, const QString &path, const QString &application,
                         const QString &applicationVersion, QString *error)
{
    const PlatformServices base = context.services();
    auto &writer = context.shared<RecordingWriter>([&] { return std::make_unique<RecordingWriter>(*base.scheduler); });
    if (!path.isEmpty()
        && !writer.open(path, application, applicationVersion,
                        QJsonObject{{QStringLiteral("kind"), QStringLiteral("update")}})) {
        if (error)
            *error = writer.error();
        return nullptr;
    }
    auto &recorder = context.shared<RecordingHidBackend>(
        [&] { return std::make_unique<RecordingHidBackend>(*base.hid, writer, isOurDevice); });
    context.installServices(*base.scheduler, recorder);
    return &writer;
}

bool start(ApplicationContext &context, RecordingWriter &writer, const QString &path, const QString &application,
           const QString &applicationVersion, QString *error)
{
    if (!writer.open(path, application, applicationVersion,
                     QJsonObject{{QStringLiteral("kind"), QStringLiteral("update")}})) {
        if (error)
            *error = writer.error();
        return false;
    }
    if (auto *recorder = qobject_cast<RecordingHidBackend *>(context.services().hid))
        recorder->beginRecording();
    return true;
}

} // namespace flashwell::process_recording
