#pragma once

#include "net/HttpError.h"
#include "update/FirmwareCatalogueClient.h"

#include <memory>
#include <optional>

namespace flashwell::cli {

// The server client of the command line: SHttp, as the window's, but it also knows when a request
// is still out and how the last one ended, including a reply that carried no list (which calls
// neither of the controller's blocks). The command line waits on that instead of a fixed time.
class CliCatalogueClient final : public FirmwareCatalogueClient
{
public:
    void getUpdateFirmwaerWithType(int type, QObject *context, ListSuccess success, Failure failure) override;
    void dowmFirmwaerFile(const Firmware &release, QObject *context, PathSuccess success, Failure failure) override;

    // Requests still waiting for their end.
    int inFlight() const { return m_state->inFlight; }
    // How the last list request ended; reset when the next one is sent.
    enum class ListEnd { Pending, Listed, NoList, Failed };
    ListEnd listEnd() const { return m_state->listEnd; }
    const std::optional<HttpError> &lastError() const { return m_state->lastError; }

private:
    struct State
    {
        int inFlight = 0;
        ListEnd listEnd = ListEnd::Pending;
        std::optional<HttpError> lastError;
    };
    // Shared with the callbacks of requests still out, which may end after this client.
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace flashwell::cli
