#pragma once

#include "net/Firmware.h"
#include "net/HttpError.h"

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

    virtual ~FirmwareCatalogueClient() = default;

    // A reply without a list calls neither block.
    virtual void getUpdateFirmwaerWithType(int type, QObject *context, ListSuccess success, Failure failure) = 0;
    // A file already in the cache completes inside the call.
    virtual void dowmFirmwaerFile(const Firmware &release, QObject *context, PathSuccess success, Failure failure) = 0;

    // The process-wide client on SHttp.
    static FirmwareCatalogueClient &shared();
};

} // namespace flashwell
