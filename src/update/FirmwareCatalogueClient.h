#pragma once

#include "net/Firmware.h"
#include "net/HttpError.h"
#include "net/RequestEnd.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

namespace flashwell {

// The two server operations the update workflow needs. Production goes through SHttp; the lab
// and tests can watch or replace them. Results arrive on the UI thread, and never once
// `context` has been destroyed.
class FirmwareCatalogueClient
{
public:
    using ListSuccess = std::function<void(const QList<Firmware> &list)>;
    using PathSuccess = std::function<void(const QString &path)>;
    using Failure = std::function<void(const HttpError &error)>;
    // How the request ended, told once after its block ran (or when none will); may be empty.
    using Ended = std::function<void(RequestEnd end)>;

    virtual ~FirmwareCatalogueClient() = default;

    // A reply without a list calls neither block; `ended` hears it as NoResult.
    virtual void getUpdateFirmwaerWithType(int type, QObject *context, ListSuccess success, Failure failure,
                                           Ended ended) = 0;
    // A file already in the cache completes inside the call.
    virtual void dowmFirmwaerFile(const Firmware &release, QObject *context, PathSuccess success, Failure failure,
                                  Ended ended) = 0;

    // The process-wide client on SHttp.
    static FirmwareCatalogueClient &shared();
};

} // namespace flashwell
