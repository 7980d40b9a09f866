#pragma once

#include "net/SHttp.h"
#include "update/FirmwareCatalogueClient.h"

#include <QPointer>

#include <functional>

namespace flashwell::lab {

// The real server client (SHttp), counting the requests that still wait for an answer, so that a
// run on virtual time can keep it in pace with the network while one does.
class CountingCatalogueClient final : public FirmwareCatalogueClient
{
public:
    int inFlight = 0;
    std::function<void(const QString &path)> onDownloaded;

    void getUpdateFirmwaerWithType(int type, QObject *context, ListSuccess success, Failure failure) override
    {
        ++inFlight;
        QPointer<QObject> guard(context);
        SHttp::getUpdateFirmwaerWithType(
            type, context,
            [this, guard, success](const std::optional<QList<Firmware>> &list) {
                --inFlight;
                if (guard && list && success)
                    success(*list);
            },
            [this, guard, failure](const HttpError &error) {
                --inFlight;
                if (guard && failure)
                    failure(error);
            });
    }

    void dowmFirmwaerFile(const Firmware &release, QObject *context, PathSuccess success, Failure failure) override
    {
        ++inFlight;
        QPointer<QObject> guard(context);
        SHttp::dowmFirmwaerFile(
            release.fileURL, context,
            [this, guard, success](const QString &path) {
                --inFlight;
                if (onDownloaded)
                    onDownloaded(path);
                if (guard && success)
                    success(path);
            },
            [this, guard, failure](const HttpError &error) {
                --inFlight;
                if (guard && failure)
                    failure(error);
            },
            release.id, release.fileSize, release.md5);
    }
};

} // namespace flashwell::lab
