#pragma once

#include "update/FirmwareCatalogueClient.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

namespace flashwell {

class RecordingWriter;
class UpdateSessionController;

// The update's side of a recording (docs/recording.md): what the device was, the release list as
// the server gave it, the release chosen, the firmware file's size and digests, and the outcome.
// It stands between the update controller and its server client to see the list exactly as it came,
// and watches the controller for the rest. The steps are "start" (update pressed), "firmware" (the
// file is ready) and "outcome"; the outcome ends the recording. A replay runs one too, without a
// writer, to learn when the product reaches each step.
class UpdateRecordingContext final : public QObject, public FirmwareCatalogueClient
{
    Q_OBJECT
public:
    // `writer` may be null (a replay only listens to the steps).
    UpdateRecordingContext(FirmwareCatalogueClient &server, RecordingWriter *writer, QObject *parent = nullptr);
    ~UpdateRecordingContext() override;

    void watch(UpdateSessionController &controller);
    // A new recording begins: the next update is its one.
    void rearm();

    void getUpdateFirmwaerWithType(int type, QObject *context, ListSuccess success, Failure failure,
                                   Ended ended) override;
    void dowmFirmwaerFile(const Firmware &release, QObject *context, PathSuccess success, Failure failure,
                          Ended ended) override;

    // Each step as it is reached, after its line is written.
    std::function<void(const QString &step)> onStep;

    // A release as a line of the server's list.
    static QJsonObject releaseJson(const Firmware &release);
    // {"size", "md5", "sha256"} of a file; empty when it cannot be read.
    static QJsonObject fileDigests(const QString &path);

private:
    void onStarted();
    void onState(quint64 state);
    void step(const QString &name, QJsonObject fields);
    void outcome(bool success, const QString &message);

    FirmwareCatalogueClient &m_server;
    RecordingWriter *m_writer;
    QPointer<UpdateSessionController> m_controller;
    std::optional<QList<Firmware>> m_serverList;
    bool m_started = false;
    bool m_firmware = false;
    bool m_ended = false;
};

} // namespace flashwell
