#include "update/FirmwareCatalogueClient.h"

#include "net/SHttp.h"

namespace flashwell {

namespace {

class SHttpCatalogueClient final : public FirmwareCatalogueClient
{
public:
    void getUpdateFirmwaerWithType(int type, QObject *context, ListSuccess success, Failure failure,
                                   Ended ended) override
    {
        // The request belongs to `context`: it is aborted, and calls nothing, once that is gone.
        SHttp::getUpdateFirmwaerWithType(
            type, context,
            [success](const std::optional<QList<Firmware>> &list) {
                if (list && success)
                    success(*list);
            },
            [failure](const HttpError &error) {
                if (failure)
                    failure(error);
            },
            std::move(ended));
    }

    void dowmFirmwaerFile(const Firmware &release, QObject *context, PathSuccess success, Failure failure,
                          Ended ended) override
    {
        SHttp::dowmFirmwaerFile(
            release.fileURL, context,
            [success](const QString &path) {
                if (success)
                    success(path);
            },
            [failure](const HttpError &error) {
                if (failure)
                    failure(error);
            },
            release.id, release.fileSize, release.md5, std::move(ended));
    }
};

} // namespace

FirmwareCatalogueClient &FirmwareCatalogueClient::shared()
{
    static SHttpCatalogueClient client;
    return client;
}

} // namespace flashwell
