#pragma once

#include "device/SFenwykDevice.h"
#include "net/Firmware.h"

#include <QList>
#include <QString>

#include <optional>

namespace flashwell::firmware_list {

// version + beta × 0.001 in single precision (beta counts from 1; 0 is a release build).
float orderKey(const Firmware &release);
// Higher key first; equal keys: the greater display file name first; otherwise kept in order.
void sortReleases(QList<Firmware> &releases);
// Keeps every release above `minimum` and release builds of exactly `minimum`, in order.
QList<Firmware> filterVersion(const QList<Firmware> &releases, float minimum);
// The minimum versions that apply to `device`, in the order they are applied.
QList<float> minimumVersions(SFenwykDevice &device);
// Sorted and filtered, as the rows show them.
QList<Firmware> orderedForDevice(QList<Firmware> releases, SFenwykDevice &device);

// The fixed kit name of a mod-kit device ("Bolt Modkit"), `joined` without the space.
std::optional<QString> kitName(SFenwykDevice &device, bool joined = false);
// The file name up to the first "_V", or the whole name.
QString namePart(const QString &fileName);
// "date  name V1.02", plus " beta N" for beta builds.
QString rowText(const Firmware &release, SFenwykDevice &device);
// "NEW", or empty when the device runs exactly this version.
QString newMark(const Firmware &firstRelease, const SFenwykDevice &device);
// Title and content of the release-notes window.
QString logTitle(const Firmware &release, SFenwykDevice &device);
QString logContent(const Firmware &release, bool chinese);
// The offered release's line: "<newversion> v1.02[ beta N]".
QString newVersionLine(const Firmware &release);

// Rows and visible rows of the list: a scroller from 7 releases on.
inline constexpr int kScrollerRows = 7;
inline bool hasScroller(qsizetype count)
{
    return count >= kScrollerRows;
}
inline int visibleRows(qsizetype count)
{
    return count >= kScrollerRows ? kScrollerRows : static_cast<int>(count);
}

// The catalogue type a type-1/2/3 device is re-filed under when its bootloader reports
// firmware type 200; the type itself otherwise.
int32_t v2Type(int32_t type);

// A product chosen by hand whose hardware revision must be read from its bootloader before its
// releases are known (type 3, or type 2 named "Wren"): the update screen shows the guide at once.
bool readsHardwareRevision(const SFenwykDataDetails &entry);

} // namespace flashwell::firmware_list
