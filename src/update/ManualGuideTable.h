#pragma once

#include "device/SFenwykDevice.h"

#include <QStringList>

#include <array>
#include <span>

namespace flashwell::guide_table {

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
    // Type 1: the main picture at a fixed frame and a second picture beside it.
    bool withSecondPicture = false;
};

// Rows chosen by the catalogue type alone, applied first.
std::span<const GuideRow> typeRows();
// Rows chosen by the type plus 1 for a receiver's guide; they replace a type row.
std::span<const GuideRow> keyedRows();
// The row the guide shows for a device: its keyed row when it has one, else its type row.
const GuideRow *rowFor(SFenwykDevice &device);
// The picture a row shows for a catalogue name.
const char *pictureFor(const GuideRow &row, const QString &catalogueName);
// The guide's lines for the device, localised; after a failed update every "3" of the first line
// reads "8", as the guide shows it. Empty when no row applies.
QStringList lines(SFenwykDevice &device, bool error);

} // namespace flashwell::guide_table
