#pragma once

#include "device/SFenwykDevice.h"

#include <QStringList>

#include <array>
#include <span>

namespace flashwell::guide_table {

// What a guide row shows being put into update mode; a product's row must show its own kind.
enum class Kind { Gamepad, ArcadeStick, Receiver, Adapter, ModKit };

// One row of the manual-update guide: a picture and the localisation keys of its lines (a null
// third key leaves the third line empty). `pictureWithF` is used instead of `picture` when the
// model part of the catalogue name (after "Fenwyk ") contains "F". Widget-free, so the window's
// guide and the command line read the same table.
struct GuideRow
{
    int key;
    const char *picture;
    const char *pictureWithF;
    std::array<const char *, 3> lines;
    Kind kind;
    // Type 1: the main picture at a fixed frame and a second picture beside it.
    bool withSecondPicture = false;
};

// Rows chosen by the catalogue type alone, applied first.
std::span<const GuideRow> typeRows();
// Rows chosen by the type plus 1 for a receiver's guide; they replace a type row.
std::span<const GuideRow> keyedRows();
// The row the guide shows for a device: its keyed row when it has one, else its type row; null
// when neither exists (the device then gets the recovery guide).
const GuideRow *rowFor(SFenwykDevice &device);
// The recovery guide's lines: unplug, wait, plug back in, press Update again. Shown with the
// product's own picture for a device without a row, so no device is shown another's buttons.
std::span<const char *const> recoveryLines();
// The recovery guide's picture: the product's own picture, or a plain device without an entry.
QString recoveryPicture(SFenwykDevice &device);
// The picture a row shows for a catalogue name.
const char *pictureFor(const GuideRow &row, const QString &catalogueName);
// The guide's lines for the device, localised; after a failed update every "3" of the first line
// reads "8", as the guide shows it. A device without a row gets the recovery guide's lines.
QStringList lines(SFenwykDevice &device, bool error);

} // namespace flashwell::guide_table
