#pragma once

#include "device/SFenwykDevice.h"

#include <QList>
#include <QString>

#include <cstdint>

namespace flashwell {

// The screen's colours; the view maps them to RGB (red 255/52/90, blue 0/160/233,
// green 90/178/31, grey 128/128/128, white).
enum class ScreenColour { Red, Blue, Green, Grey, White };

struct ScreenButton
{
    QString title;
    int32_t progress = 100; // 0..100; 100 is a full button
    ScreenColour background = ScreenColour::Blue;
    ScreenColour highlight = ScreenColour::Red;
    bool hidden = true;
};

// One row of the release list, top row first.
struct ReleaseRow
{
    int tag = 0; // index in the release list
    QString name;
    QString newMark; // first row only: "NEW" or empty
    bool checked = false;
};

// Everything the update screen shows, as the controller keeps it; the view paints from this.
struct UpdateScreenModel
{
    // Pictures.
    QString devicePicture = QStringLiteral("device_default");
    QString receiverPicture = QStringLiteral("receiver_default");
    bool devicePictureHidden = true;
    bool receiverPictureHidden = true;
    bool devicePictureSelected = false;
    bool receiverPictureSelected = false;
    bool devicePictureClickable = false;
    bool receiverPictureClickable = false;

    // The list and its surroundings.
    bool listHidden = true;
    bool spinnerHidden = true;
    bool reloadHidden = true;
    bool notFirmwareHidden = true;
    QList<ReleaseRow> rows;
    bool scroller = false;
    // From the press of update to the attempt's end the release is fixed: rows and pictures are
    // inert, so nothing names a release other than the one being written.
    bool releaseFixed = false;

    // The panel of the one offered release.
    bool panelHidden = true;
    QString panelLine;
    QString panelNotes;

    // The hint line (and its always-hidden anchor).
    bool hintLabelHidden = true;
    bool hintHidden = true;
    QString hint;

    ScreenButton updateButton;
    ScreenButton leftButton{QString(), 100, ScreenColour::Grey, ScreenColour::White, true};
    ScreenButton rightButton{QString(), 100, ScreenColour::Blue, ScreenColour::Red, true};
    // Left and right buttons: the two-button choice (state 1) or beside the update button (state 6).
    enum class Placement { Choice, Finished } sideButtons = Placement::Choice;

    // The manual-update guide laid over the screen.
    bool guideShown = false;
    bool guideError = false;
    SFenwykDevicePtr guideDevice;
};

} // namespace flashwell
