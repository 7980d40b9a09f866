#pragma once

#include <QString>

namespace flashwell {

class ApplicationContext;
class HidDevice;
class RecordingWriter;

// Recording a real update (--record FILE): the process's HID backend gets a recorder in front of
// it before any watcher or session uses it. Only our devices (by vendor ID) are recorded.
namespace process_recording {

// Installs the recorder into `context` (both live as long as the context) and, with a `path`,
// starts recording into it. Null with `error` set when the file cannot be written.
RecordingWriter *install(ApplicationContext &context, const QString &path, const QString &application,
                         const QString &applicationVersion, QString *error);
// Starts recording into `path` with the writer install() gave; false with `error` set.
bool start(ApplicationContext &context, RecordingWriter &writer, const QString &path, const QString &application,
           const QString &applicationVersion, QString *error);

// A device of one of the vendor IDs our watchers and sessions match.
bool isOurDevice(const HidDevice &device);

} // namespace process_recording
} // namespace flashwell
