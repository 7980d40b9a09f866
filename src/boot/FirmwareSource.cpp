#include "boot/FirmwareSource.h"

#include <QBuffer>
#include <QFile>

namespace flashwell {

std::unique_ptr<QIODevice> FirmwareSource::open(const QString &path, QIODevice::OpenMode mode) const
{
    std::unique_ptr<QIODevice> device;
    if (m_bytes) {
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(*m_bytes);
        device = std::move(buffer);
    } else {
        device = std::make_unique<QFile>(path);
    }
    device->open(mode);
    return device;
}

} // namespace flashwell
