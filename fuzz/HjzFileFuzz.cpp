// Runs an HJZ update of an arbitrary firmware file against the lab's HJZ bootloader; the first
// input byte picks the device id the session is told to use (none, 386 or 387).
#include "VirtualHjzBootloader.h"
#include "boot/SHIDBootHJZ.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

using namespace flashwell;

namespace {
QTemporaryDir *workDir = nullptr;

class Sink final : public QObject, public SHIDBootHJZDelegate
{
public:
    void SHIDBootHJZUpdate(SHIDBootHJZ *, const SFenwykDevicePtr &) override {}
    void SHIDBootHJZUpdateSuccess(SHIDBootHJZ *) override {}
    void SHIDBootHJZUpdateFail(SHIDBootHJZ *, const QString &) override {}
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    QLoggingCategory::setFilterRules(QStringLiteral("flashwell.*=false")); // failures are expected here
    workDir = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const QString path = workDir->filePath(QStringLiteral("fw.hjz"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char *>(data) + 1, static_cast<qint64>(size - 1));
    }
    VirtualScheduler clock;
    VirtualHidBus bus(clock);
    Sink sink;
    SHIDBootHJZ session({&clock, &bus});
    session.setBootDelegate(&sink);
    session.cur_devId = data[0] % 3 == 0 ? 0 : (data[0] % 3 == 1 ? 386 : 387);
    session.open();
    lab::VirtualHjzBootloader device(bus, data[0] & 0x80 ? 0 : 0x08003400, 64u << (data[0] & 3),
                                     1u << ((data[0] >> 2) & 3));
    device.plug();
    clock.runPending();
    session.filePath = path;
    session.startUpdate();
    clock.advance(60'000);
    return 0;
}
