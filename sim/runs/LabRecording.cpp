#include "runs/LabRecording.h"

#include "platform/RecordingHidBackend.h"
#include "platform/RecordingWriter.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <QJsonObject>

namespace flashwell::lab {

LabRecording::LabRecording(VirtualScheduler &clock, VirtualHidBus &bus, const QString &path, const QString &kind)
    : m_bus(bus)
{
    if (path.isEmpty())
        return;
    m_writer = std::make_unique<RecordingWriter>(clock);
    // Recordings name the program that made them.
    if (!m_writer->open(path, QStringLiteral("flashwell-lab"), QStringLiteral(FLASHWELL_VERSION),
                        QJsonObject{{QStringLiteral("kind"), kind}}))
        m_error = m_writer->error();
    m_recorder = std::make_unique<RecordingHidBackend>(bus, *m_writer);
}

LabRecording::~LabRecording() = default;

HidBackend *LabRecording::host() const
{
    return m_recorder ? static_cast<HidBackend *>(m_recorder.get()) : &m_bus;
}

} // namespace flashwell::lab
