// The firmware server's JSON replies and the IP-echo pages, as arbitrary bytes.
#include "FuzzSupport.h"
#include "mapping/JsonMapping.h"
#include "net/FirmwareMessage.h"
#include "net/SHttp.h"
#include "platform/Bytes.h"

#include <QJsonDocument>

#include <cstddef>
#include <cstdint>

using namespace flashwell;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::initialise(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    const QByteArray bytes = byteArrayOf({data, size});
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    if (doc.isObject()) {
        const FirmwareMessage message = mapping::fromJson<FirmwareMessage>(doc.object());
        const QList<Firmware> list =
            mapping::listFromJson<Firmware>(doc.object().value(QStringLiteral("list")).toArray());
        for (const Firmware &f : list)
            (void)f.fileName();
        (void)message.List.size();
    }
    const QString page = QString::fromUtf8(bytes);
    const QString address = SHttp::getIPFormHtml(page);
    (void)address;
    (void)SHttp::utf8ToUnicode(page);
    return 0;
}
