#pragma once

#include <QString>

#include <memory>

namespace flashwell {
class HidBackend;
class RecordingHidBackend;
class RecordingWriter;
class VirtualHidBus;
class VirtualScheduler;
} // namespace flashwell

namespace flashwell::lab {

// A lab run's recording (docs/recording.md), when a path is given: the file writer, and the
// recording backend in front of the bus that the product then talks to.
class LabRecording
{
public:
    // `kind` names the run in the file's header ("flash", "update").
    LabRecording(VirtualScheduler &clock, VirtualHidBus &bus, const QString &path, const QString &kind);
    ~LabRecording();
    LabRecording(const LabRecording &) = delete;
    LabRecording &operator=(const LabRecording &) = delete;

    // The backend the product sees: the bus, or the recorder in front of it.
    HidBackend *host() const;
    // Null when no recording was asked for.
    RecordingWriter *writer() const { return m_writer.get(); }
    // Why the file could not be written (empty when fine or none was asked for).
    const QString &error() const { return m_error; }

private:
    VirtualHidBus &m_bus;
    QString m_error;
    std::unique_ptr<RecordingWriter> m_writer;
    std::unique_ptr<RecordingHidBackend> m_recorder;
};

} // namespace flashwell::lab
