#pragma once

#include "ui/SButtonDelegate.h"
#include "ui/SMiniImageViewDelegate.h"
#include "ui/SView.h"
#include "update/UpdateSessionController.h"

#include <QList>
#include <QMessageBox>
#include <QPointer>

#include <functional>

class QAbstractButton;
class QPushButton;
class QScrollArea;
class QTextEdit;

namespace flashwell {

class DeviceManualView;
class SButton;
class SLabel;
class SMiniImageView;
class UpdateSpinner;

// The update screen: a thin view of UpdateSessionController. It paints the controller's model
// (pictures, the release list, the offered release, hint line, buttons, guide), lays out the
// controls once per resize, forwards clicks, opens the alerts as window-modal message boxes and
// the release-notes windows.
class UpdateView : public SView, public SButtonDelegate, public SMiniImageViewDelegate
{
    Q_OBJECT

public:
    // A view of a controller that someone else owns (and that outlives the view). Its owner
    // decides what the left button of state 6 does, unless a terminate handler is set here.
    explicit UpdateView(UpdateSessionController &controller, QWidget *parent = nullptr);
    ~UpdateView() override;

    UpdateSessionController &controller() { return *m_controller; }

    // --- what the root controller calls ---
    // The one-time layout of a showing: the controller's, then the controls'.
    void loadViews();
    // Leaving the screen: the controller forgets this showing and the view is taken off its parent.
    void removeFromSuperview();

    // --- controls, as the screen names them ---
    SMiniImageView *miniImageView() const { return m_miniImageView; }
    SMiniImageView *miniRRImageView() const { return m_miniRRImageView; }
    SView *firmwaerListVist() const { return m_firmwaerListVist; }
    QScrollArea *scrollView() const { return m_scrollView; }
    SView *findNewVersionListView() const { return m_findNewVersionListView; }
    SLabel *findNewVersionLabel() const { return m_findNewVersionLabel; }
    QTextEdit *findNewVersionLogTextView() const { return m_findNewVersionLogTextView; }
    QWidget *progress() const;
    QPushButton *reloadButton() const { return m_reloadButton; }
    SLabel *hintLabel() const { return m_hintLabel; }
    SLabel *notFirmware() const { return m_notFirmware; }
    SLabel *firmwaerHintLabel() const { return m_firmwaerHintLabel; }
    SButton *updateButton() const { return m_updateButton; }
    SButton *leftButton() const { return m_leftButton; }
    SButton *rightButton() const { return m_rightButton; }
    DeviceManualView *manualView() const { return m_manualView; }
    // The rows of the release list, top row first.
    struct Row
    {
        SView *row;
        SLabel *name;
        SLabel *newMark;           // first row only
        QAbstractButton *checkbox; // checked while its row is the checked row
        QPushButton *notes;
        QWidget *separator;
    };
    const QList<Row> &rows() const { return m_rows; }
    // The alert on screen (null when none was opened or it was closed).
    QMessageBox *alert() const { return m_alert.data(); }

    // The checkbox and notes buttons of a row.
    void chengeboxClick(int tag);
    void showLogClick(int tag);

    void SButtonClick(SButton *button) override;
    void SMiniImageViewClick(SMiniImageView *view) override;

    // What the left button does in state 6; by default the application ends with that status.
    void setTerminateHandler(std::function<void(int status)> handler) { m_terminate = std::move(handler); }

protected:
    void resizeEvent(QResizeEvent *event) override;
    // The first layout of a showing runs the one-time layout (loadViews) as well.
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void initFindNewVersion();
    void layoutControls();
    void refresh();
    void rebuildRows();
    void showAlert(const QString &buttonTitle, const QString &message);
    void showGuide();

    void build();

    UpdateSessionController *m_controller;
    SMiniImageView *m_miniImageView;
    SMiniImageView *m_miniRRImageView;
    SView *m_firmwaerListVist;
    QScrollArea *m_scrollView;
    SView *m_findNewVersionListView;
    SLabel *m_findNewVersionLabel = nullptr;
    QTextEdit *m_findNewVersionLogTextView = nullptr;
    UpdateSpinner *m_progress;
    QPushButton *m_reloadButton;
    SLabel *m_hintLabel;
    SLabel *m_notFirmware;
    SLabel *m_firmwaerHintLabel;
    SButton *m_updateButton;
    SButton *m_leftButton;
    SButton *m_rightButton;
    DeviceManualView *m_manualView = nullptr;
    QList<Row> m_rows;
    QPointer<QMessageBox> m_alert;
    // What the geometry depends on besides the size.
    struct LayoutKey
    {
        UpdateScreenModel::Placement sideButtons = UpdateScreenModel::Placement::Choice;
        bool receiverShown = false;
        QString panelLine;
        bool operator==(const LayoutKey &) const = default;
    };
    LayoutKey m_laidOutFor;
    std::function<void(int)> m_terminate;
};

} // namespace flashwell
