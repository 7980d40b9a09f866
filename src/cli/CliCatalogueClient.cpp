#include "cli/CliCatalogueClient.h"

#include "net/SHttp.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

namespace flashwell::cli {

void CliCatalogueClient::getUpdateFirmwaerWithType(int type, QObject *context, ListSuccess success, Failure failure)
{
    ++m_state->inFlight;
    m_state->listEnd = ListEnd::Pending;
    m_state->lastError.reset();
    QPointer<QObject> guard(context);
    QNetworkAccessManager &network = SHttp::network();
    const QList<QNetworkReply *> before = network.findChildren<QNetworkReply *>(Qt::FindDirectChildrenOnly);
    SHttp::getUpdateFirmwaerWithType(
        type, context,
        [state = m_state, guard, context, success](const std::optional<QList<Firmware>> &list) {
            state->listEnd = list ? ListEnd::Listed : ListEnd::NoList;
            if ((context && !guard) || !list || !success)
                return;
            success(*list);
        },
        [state = m_state, guard, context, failure](const HttpError &error) {
            state->listEnd = ListEnd::Failed;
            state->lastError = error;
            if ((context && !guard) || !failure)
                return;
            failure(error);
        });
    // A reply that is no successful server answer calls neither block. The request's reply is
    // the manager's new child; its end (seen after SHttp's own handler) is the request's end.
    QNetworkReply *reply = nullptr;
    for (QNetworkReply *candidate : network.findChildren<QNetworkReply *>(Qt::FindDirectChildrenOnly)) {
        if (!before.contains(candidate))
            reply = candidate;
    }
    if (!reply) {
        --m_state->inFlight;
        if (m_state->listEnd == ListEnd::Pending)
            m_state->listEnd = ListEnd::NoList;
        return;
    }
    // The reply is deleted once it has finished or was aborted with its context.
    QObject::connect(reply, &QObject::destroyed, [state = m_state] {
        --state->inFlight;
        if (state->listEnd == ListEnd::Pending)
            state->listEnd = ListEnd::NoList;
    });
}

void CliCatalogueClient::dowmFirmwaerFile(const Firmware &release, QObject *context, PathSuccess success,
                                          Failure failure)
{
    ++m_state->inFlight;
    m_state->lastError.reset();
    QPointer<QObject> guard(context);
    SHttp::dowmFirmwaerFile(
        release.fileURL, context,
        [state = m_state, guard, context, success](const QString &path) {
            --state->inFlight;
            if ((context && !guard) || !success)
                return;
            success(path);
        },
        [state = m_state, guard, context, failure](const HttpError &error) {
            --state->inFlight;
            state->lastError = error;
            if ((context && !guard) || !failure)
                return;
            failure(error);
        },
        release.id, release.fileSize, release.md5);
}

} // namespace flashwell::cli
