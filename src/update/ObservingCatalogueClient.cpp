#include "update/ObservingCatalogueClient.h"

namespace flashwell {

ObservingCatalogueClient::ObservingCatalogueClient(FirmwareCatalogueClient &inner)
    : m_inner(inner)
{}

void ObservingCatalogueClient::getUpdateFirmwaerWithType(int type, QObject *context, ListSuccess success,
                                                         Failure failure, Ended ended)
{
    ++m_state->inFlight;
    m_state->listEnd.reset();
    m_state->lastError.reset();
    m_inner.getUpdateFirmwaerWithType(
        type, context, std::move(success),
        [state = m_state, failure = std::move(failure)](const HttpError &error) {
            state->lastError = error;
            if (failure)
                failure(error);
        },
        [state = m_state, ended = std::move(ended)](RequestEnd end) {
            --state->inFlight;
            state->listEnd = end;
            if (ended)
                ended(end);
        });
}

void ObservingCatalogueClient::dowmFirmwaerFile(const Firmware &release, QObject *context, PathSuccess success,
                                                Failure failure, Ended ended)
{
    ++m_state->inFlight;
    m_state->lastError.reset();
    m_inner.dowmFirmwaerFile(
        release, context,
        [state = m_state, success = std::move(success)](const QString &path) {
            if (state->downloaded)
                state->downloaded(path);
            if (success)
                success(path);
        },
        [state = m_state, failure = std::move(failure)](const HttpError &error) {
            state->lastError = error;
            if (failure)
                failure(error);
        },
        [state = m_state, ended = std::move(ended)](RequestEnd end) {
            --state->inFlight;
            if (ended)
                ended(end);
        });
}

} // namespace flashwell
