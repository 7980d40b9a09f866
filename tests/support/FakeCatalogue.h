#pragma once

#include "net/Firmware.h"
#include "update/FirmwareCatalogueClient.h"

#include <vector>

namespace flashwell::test {

inline Firmware release(float version, int beta = 0, int type = 12, const char *fileName = "Heron_V1.bin")
{
    Firmware f;
    f.id = 7;
    f.type = type;
    f.version = version;
    f.beta = beta;
    f.date = QStringLiteral("2026-11-30");
    f.setFileName(QString::fromLatin1(fileName));
    f.fileURL = QStringLiteral("http://server/firmwareFile/upload/") + QString::fromLatin1(fileName);
    f.fileSize = 4096;
    f.readme = QStringLiteral("说明");
    f.readme_en = QStringLiteral("Notes");
    return f;
}

// The server as the tests want it: list requests wait until answered; downloads complete at once,
// fail at once or wait, as set. Every request that ends tells its `ended`.
class FakeCatalogue final : public FirmwareCatalogueClient
{
public:
    struct ListRequest
    {
        int type;
        ListSuccess success;
        Failure failure;
        Ended ended;
    };
    std::vector<ListRequest> lists;
    std::vector<Firmware> downloads;
    enum class Download { Succeed, Fail, Wait } downloadMode = Download::Succeed;
    QString path = QStringLiteral("/tmp/fw.bin");
    PathSuccess waitingSuccess;

    void getUpdateFirmwaerWithType(int type, QObject *, ListSuccess success, Failure failure, Ended ended) override
    {
        lists.push_back({type, std::move(success), std::move(failure), std::move(ended)});
    }
    void dowmFirmwaerFile(const Firmware &release, QObject *, PathSuccess success, Failure failure,
                          Ended ended) override
    {
        downloads.push_back(release);
        if (downloadMode == Download::Succeed) {
            success(path);
            tell(ended, RequestEnd::Result);
        } else if (downloadMode == Download::Fail) {
            failure({QStringLiteral("Download Error"), 1011, QStringLiteral("the file is 12 bytes long")});
            tell(ended, RequestEnd::Error);
        } else {
            waitingSuccess = std::move(success);
        }
    }
    void answer(const QList<Firmware> &list, std::size_t index = SIZE_MAX)
    {
        ListRequest &r = request(index);
        r.success(list);
        tell(r.ended, RequestEnd::Result);
    }
    // The server answers without a list: no block runs.
    void answerWithoutList(std::size_t index = SIZE_MAX) { tell(request(index).ended, RequestEnd::NoResult); }
    void failList(const HttpError &error, std::size_t index = SIZE_MAX)
    {
        ListRequest &r = request(index);
        r.failure(error);
        tell(r.ended, RequestEnd::Error);
    }

private:
    ListRequest &request(std::size_t index) { return lists.at(index == SIZE_MAX ? lists.size() - 1 : index); }
    static void tell(const Ended &ended, RequestEnd end)
    {
        if (ended)
            ended(end);
    }
};

} // namespace flashwell::test
