#include "update/FirmwareCatalogueClient.h"

#include "net/SHttp.h"

#include <QPointer>

namespace flashwell {

namespace {

class SHttpCatalogueClient final : public FirmwareCatalogueClient
{
public:
    void getUpdateFirmwaerWithType(int type, QObject *context, ListSuccess success, Failure failure) override
    {
        QPointer<QObject> guard(context);
        SHttp::getUpdateFirmwaerWithType(
            type,
            [guard, context, success](const std::optional<QList<Firmware>> &list) {
                if ((context && !guard) || !list || !success)
                    return;
                success(*list);
            },
            [guard, context, failure](const HttpError &error) {
                if ((context && !guard) || !failure)
                    return;
                failure(error);
            });
    }

    void dowmFirmwaerFile(const Firmware &release, QObject *context, PathSuccess success, Failure failure) override
    {
        QPointer<QObject> guard(context);
        SHttp::dowmFirmwaerFile(
            release.fileURL,
            [guard, context, success](const QString &path) {
                if ((context && !guard) || !success)
                    return;
                success(path);
            },
            [guard, context, failure](const HttpError &error) {
                if ((context && !guard) || !failure)
                    return;
                failure(error);
            },
            release.id, release.fileSize);
    }
};

} // namespace

FirmwareCatalogueClient &FirmwareCatalogueClient::shared()
{
    static SHttpCatalogueClient client;
    return client;
}

} // namespace flashwell
