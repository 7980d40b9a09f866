// Writes the udev rules that let the logged-in user open, through hidraw, exactly the devices the
// watchers and sessions match: it opens each of them on a virtual bus and reads their matching
// lists, so the rules come from the tables the code matches on (the catalogue among them).
#include "boot/SHIDBoot.h"
#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "device/SHIDDinput.h"
#include "device/SHIDHJZ.h"
#include "device/SHIDSwitchAndMac.h"
#include "device/SHIDXinput.h"
#include "platform/ApplicationContext.h"
#include "platform/UserDefaults.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryDir>

#include <cstdio>

using namespace flashwell;

namespace {

QByteArray hex4(uint16_t v)
{
    return QByteArray::number(v, 16).rightJustified(4, '0');
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ApplicationContext context; // dies before the application
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.rules\n", argv[0]);
        return 2;
    }
    QTemporaryDir settings; // the language decides nothing here, but keep the user's settings out
    UserDefaults::useFileForStandard(settings.filePath(QStringLiteral("defaults.ini")));

    VirtualScheduler clock;
    VirtualHidBus bus(clock);
    const PlatformServices services{&clock, &bus};
    SHIDDinput dinput(services);
    SHIDSwitchAndMac switchAndMac(services);
    SHIDXinput xinput(services);
    SHIDHJZ hjz(services);
    SHIDBoot classic(services);
    SHIDBootVela2 secondGen(services);
    SHIDBootHJZ hjzBoot(services);
    const std::pair<const char *, SHIDManager *> sources[] = {
        {"Normal mode: every product of the catalogue (D-input watcher)", &dinput},
        {"Vendor mode: the borrowed identities (Switch/macOS watcher)", &switchAndMac},
        {"X-input watcher", &xinput},
        {"HJZ-family device (HJZ watcher)", &hjz},
        {"Classic bootloader session", &classic},
        {"Second-generation bootloader session", &secondGen},
        {"HJZ bootloader session", &hjzBoot},
    };

    QByteArray rules = "# Generated at build time from the devices Fenwyk Flashwell matches; do not edit.\n"
                       "# Gives the logged-in user read/write access to their hidraw nodes (uaccess), and no others.\n";
    QSet<QByteArray> written;
    for (const auto &[title, source] : sources) {
        source->open();
        QByteArray section;
        for (const HidMatch &m : source->hidManager()->deviceMatching()) {
            const QByteArray line = "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"" + hex4(m.vendorId)
                                    + "\", ATTRS{idProduct}==\"" + hex4(m.productId) + "\", TAG+=\"uaccess\"\n";
            if (written.contains(line))
                continue;
            written.insert(line);
            section += line;
        }
        if (!section.isEmpty())
            rules += "\n# " + QByteArray(title) + "\n" + section;
    }

    QSaveFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(rules) != rules.size() || !out.commit()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    UserDefaults::useFileForStandard({});
    return 0;
}
