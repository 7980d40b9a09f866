#include "update/UpdateRecordingContext.h"

#include "boot/SHIDBootHJZ.h"
#include "device/FirmwareVersion.h"
#include "platform/RecordingWriter.h"
#include "platform/UserDefaults.h"
#include "update/UpdateSessionController.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>

namespace flashwell {

UpdateRecordingContext::UpdateRecordingContext(FirmwareCatalogueClient &server, RecordingWriter *writer,
                                               QObject *parent)
    : QObject(parent)
    , m_server(server)
    , m_writer(writer)
{}

UpdateRecordingContext::~UpdateRecordingContext() = default;

void UpdateRecordingContext::watch(UpdateSessionController &controller)
{
    m_controller = &controller;
    connect(&controller, &UpdateSessionController::attemptStarted, this, &UpdateRecordingContext::onStarted);
    connect(&controller, &UpdateSessionController::stateChanged, this, &UpdateRecordingContext::onState);
    // An alert is named by its button when it has no message.
    connect(&controller, &UpdateSessionController::alertRequested, this,
            [this](const QString &button, const QString &message) {
                if (m_started)
                    outcome(false, message.isEmpty() ? button : message);
            });
    connect(&controller, &UpdateSessionController::attemptEnded, this, [this](const AttemptEnd &end) {
        if (!m_started)
            return;
        if (end.outcome == AttemptEnd::Outcome::Success)
            outcome(true, QStringLiteral("update finished"));
        else
            outcome(false, end.reason);
    });
}

void UpdateRecordingContext::rearm()
{
    m_started = m_firmware = m_ended = false;
}

void UpdateRecordingContext::getUpdateFirmwaerWithType(int type, QObject *context, ListSuccess success, Failure failure,
                                                       Ended ended)
{
    m_server.getUpdateFirmwaerWithType(
        type, context,
        [this, success = std::move(success)](const QList<Firmware> &list) {
            m_serverList = list;
            if (success)
                success(list);
        },
        std::move(failure), std::move(ended));
}

void UpdateRecordingContext::dowmFirmwaerFile(const Firmware &release, QObject *context, PathSuccess success,
                                              Failure failure, Ended ended)
{
    m_server.dowmFirmwaerFile(release, context, std::move(success), std::move(failure), std::move(ended));
}

QJsonObject UpdateRecordingContext::releaseJson(const Firmware &release)
{
    return QJsonObject{{QStringLiteral("id"), release.id},
                       {QStringLiteral("type"), release.type},
                       {QStringLiteral("version"), firmware_version::rounded(release.version)},
                       {QStringLiteral("beta"), release.beta},
                       {QStringLiteral("date"), release.date},
                       {QStringLiteral("fileName"), release.storedFileName()},
                       {QStringLiteral("fileSize"), release.fileSize},
                       {QStringLiteral("fileURL"), release.fileURL},
                       {QStringLiteral("md5"), release.md5},
                       {QStringLiteral("readme"), release.readme},
                       {QStringLiteral("readme_en"), release.readme_en}};
}

QJsonObject UpdateRecordingContext::fileDigests(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash md5(QCryptographicHash::Md5);
    QCryptographicHash sha256(QCryptographicHash::Sha256);
    qint64 size = 0;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 16);
        if (chunk.isEmpty())
            return {};
        md5.addData(chunk);
        sha256.addData(chunk);
        size += chunk.size();
    }
    return QJsonObject{{QStringLiteral("size"), size},
                       {QStringLiteral("md5"), QString::fromLatin1(md5.result().toHex())},
                       {QStringLiteral("sha256"), QString::fromLatin1(sha256.result().toHex())}};
}

void UpdateRecordingContext::step(const QString &name, QJsonObject fields)
{
    fields.insert(QStringLiteral("event"), QStringLiteral("update"));
    fields.insert(QStringLiteral("step"), name);
    if (m_writer)
        m_writer->write(fields);
    if (onStep)
        onStep(name);
}

void UpdateRecordingContext::outcome(bool success, const QString &message)
{
    if (m_ended)
        return;
    m_ended = true;
    step(QStringLiteral("outcome"),
         QJsonObject{{QStringLiteral("result"), success ? QStringLiteral("success") : QStringLiteral("failed")},
                     {QStringLiteral("message"), message}});
    // A recording holds one update.
    if (m_writer)
        m_writer->finish();
}

void UpdateRecordingContext::onStarted()
{
    UpdateSessionController *c = m_controller.data();
    // A restart after the error guide belongs to the update already recorded.
    if (!c || m_ended || m_started)
        return;
    m_started = true;
    QJsonObject fields;
    if (const SFenwykDevicePtr device = c->device()) {
        if (const SFenwykDataDetailsPtr entry = device->details())
            fields.insert(QStringLiteral("catalogue"), QJsonObject{{QStringLiteral("name"), entry->name()},
                                                                   {QStringLiteral("type"), entry->type},
                                                                   {QStringLiteral("pid"), entry->pid},
                                                                   {QStringLiteral("vid"), entry->vid}});
        fields.insert(QStringLiteral("device"),
                      QJsonObject{{QStringLiteral("pid"), device->pid},
                                  {QStringLiteral("vid"), device->vid},
                                  {QStringLiteral("version"), firmware_version::rounded(device->version())},
                                  {QStringLiteral("beta"), device->beta},
                                  {QStringLiteral("boot_version"), device->bootVersion},
                                  {QStringLiteral("switchable"), device->isChangeBoot}});
    }
    QJsonArray releases;
    for (const Firmware &release : m_serverList.value_or(c->updateFirmwaers().value_or(QList<Firmware>())))
        releases.append(releaseJson(release));
    fields.insert(QStringLiteral("releases"), releases);
    const int chosen = c->selectButton().value_or(0);
    fields.insert(QStringLiteral("chosen"), chosen);
    if (const std::optional<Firmware> release = c->releaseAt(chosen))
        fields.insert(QStringLiteral("release"), releaseJson(*release));
    fields.insert(QStringLiteral("beta_builds"),
                  UserDefaults::standard().boolForKey(QStringLiteral("UserDefaults_isBeta")));
    step(QStringLiteral("start"), fields);
}

void UpdateRecordingContext::onState(quint64 state)
{
    UpdateSessionController *c = m_controller.data();
    if (!c || m_ended || !m_started)
        return;
    if (!m_firmware && state != UpdateSessionController::kStatePreparing && !c->savePath().isEmpty()) {
        m_firmware = true;
        // The digests read the whole file on the GUI thread (a large release holds the window for
        // a noticeable time): only a recording that keeps them pays for that.
        const bool recording = m_writer && m_writer->isOpen();
        step(QStringLiteral("firmware"), recording ? fileDigests(c->savePath()) : QJsonObject{});
    }
}

} // namespace flashwell
