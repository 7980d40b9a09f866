#include "update/FirmwareListRules.h"

#include "device/FirmwareVersion.h"
#include "platform/Bundle.h"

#include <QStringList>

#include <algorithm>

namespace flashwell::firmware_list {

namespace {

// Applied with the filter, in this order (at most one of the first two applies).
constexpr float kMinimum6002 = 5.02f;
constexpr float kMinimum6000 = 1.37f;
constexpr float kMinimum6006 = 1.03f;
constexpr uint16_t kBootVersionWithMinimum = 0x105;

struct Kit
{
    uint16_t pid;
    const char *word;
};
constexpr Kit kKits[] = {{0x5001, "Bolt"}, {0x5002, "BoltPro"}, {0x5003, "BoltDuo"}, {0x5004, "BoltMini"}};

} // namespace

float orderKey(const Firmware &release)
{
    float key = release.version;
    if (release.beta >= 1)
        key = release.version + static_cast<float>(release.beta) * 0.001f;
    return key;
}

void sortReleases(QList<Firmware> &releases)
{
    std::stable_sort(releases.begin(), releases.end(), [](const Firmware &a, const Firmware &b) {
        const float ka = orderKey(a);
        const float kb = orderKey(b);
        if (ka != kb)
            return ka > kb;
        return a.fileName() > b.fileName();
    });
}

QList<Firmware> filterVersion(const QList<Firmware> &releases, float minimum)
{
    QList<Firmware> kept;
    for (const Firmware &f : releases) {
        if (f.version > minimum || (f.beta == 0 && f.version == minimum))
            kept.append(f);
    }
    return kept;
}

QList<float> minimumVersions(SFenwykDevice &device)
{
    QList<float> minimums;
    const SFenwykDataDetailsPtr entry = device.details();
    const uint16_t pid = entry ? entry->pid : 0;
    if (device.bootVersion >= kBootVersionWithMinimum && pid == 0x6002)
        minimums.append(kMinimum6002);
    else if (device.bootVersion >= kBootVersionWithMinimum && (pid == 0x6000 || pid == 0x6001))
        minimums.append(kMinimum6000);
    if (pid == 0x6006)
        minimums.append(kMinimum6006);
    return minimums;
}

QList<Firmware> orderedForDevice(QList<Firmware> releases, SFenwykDevice &device)
{
    sortReleases(releases);
    for (const float minimum : minimumVersions(device))
        releases = filterVersion(releases, minimum);
    return releases;
}

std::optional<QString> kitName(SFenwykDevice &device, bool joined)
{
    const SFenwykDataDetailsPtr entry = device.details();
    for (const Kit &kit : kKits) {
        if (device.pid == kit.pid || (entry && entry->pid == kit.pid))
            return QString::fromLatin1(kit.word) + (joined ? QStringLiteral("Modkit") : QStringLiteral(" Modkit"));
    }
    return std::nullopt;
}

QString namePart(const QString &fileName)
{
    const qsizetype at = fileName.indexOf(QLatin1String("_V"));
    return at < 0 ? fileName : fileName.left(at);
}

QString rowText(const Firmware &release, SFenwykDevice &device)
{
    const QString name = kitName(device).value_or(namePart(release.fileName()));
    // A negative beta from the server shows as a release build here.
    return QStringLiteral("%1  %2 V%3")
        .arg(release.date, name, firmware_version::text(release.version, release.beta >= 1 ? release.beta : 0));
}

QString newMark(const Firmware &firstRelease, const SFenwykDevice &device)
{
    return device.version() == firstRelease.version ? QString() : QStringLiteral("NEW");
}

QString logTitle(const Firmware &release, SFenwykDevice &device)
{
    const QString name = kitName(device, true).value_or(namePart(release.fileName()));
    return QStringLiteral("%1  %2 V%3").arg(release.date, name, firmware_version::number(release.version));
}

QString logContent(const Firmware &release, bool chinese)
{
    const QString notes = chinese ? release.readme : release.readme_en;
    QString content;
    for (const QString &piece : notes.split(QLatin1Char('\n'))) {
        if (piece.size() >= 2)
            content += piece + QStringLiteral("\n\n");
    }
    return content;
}

QString newVersionLine(const Firmware &release)
{
    const QString word = Bundle::localizedString("newversion");
    return QStringLiteral("%1 v%2").arg(word, firmware_version::text(release.version, release.beta));
}

int32_t v2Type(int32_t type)
{
    if (type == 1)
        type = 13;
    if (type == 2)
        type = 18;
    if (type == 3)
        type = 17;
    return type;
}

bool readsHardwareRevision(const SFenwykDataDetails &entry)
{
    return entry.type == 3 || (entry.type == 2 && entry.name().contains(QStringLiteral("Wren")));
}

} // namespace flashwell::firmware_list
