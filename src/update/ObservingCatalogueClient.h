#pragma once

#include "net/HttpError.h"
#include "net/RequestEnd.h"
#include "update/FirmwareCatalogueClient.h"

#include <functional>
#include <memory>
#include <optional>

namespace flashwell {

// Stands in front of another server client and keeps account of its requests: how many are still
// out, how the last release list ended (a list, none, an error) and the last error. A front
// without a window (the command line, the lab) waits on these instead of a fixed time; the
// requests and their blocks pass through unchanged.
class ObservingCatalogueClient final : public FirmwareCatalogueClient
{
public:
    explicit ObservingCatalogueClient(FirmwareCatalogueClient &inner = FirmwareCatalogueClient::shared());

    void getUpdateFirmwaerWithType(int type, QObject *context, ListSuccess success, Failure failure,
                                   Ended ended) override;
    void dowmFirmwaerFile(const Firmware &release, QObject *context, PathSuccess success, Failure failure,
                          Ended ended) override;

    // Requests sent and not yet ended.
    int inFlight() const { return m_state->inFlight; }
    // How the last release list request ended; none while it is out (or before the first).
    std::optional<RequestEnd> listEnd() const { return m_state->listEnd; }
    // The error of the last request, when it failed; cleared as the next one is sent.
    const std::optional<HttpError> &lastError() const { return m_state->lastError; }
    // A downloaded file, before the caller's block hears of it.
    void setDownloadWatcher(std::function<void(const QString &path)> watcher)
    {
        m_state->downloaded = std::move(watcher);
    }

private:
    struct State
    {
        int inFlight = 0;
        std::optional<RequestEnd> listEnd;
        std::optional<HttpError> lastError;
        std::function<void(const QString &path)> downloaded;
    };

    FirmwareCatalogueClient &m_inner;
    // Shared with the blocks of requests still out, which may end after this client.
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace flashwell
