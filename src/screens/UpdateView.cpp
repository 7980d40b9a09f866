#include "screens/UpdateView.h"

#include "device/SFenwykDataDetails.h"
#include "platform/Bundle.h"
#include "screens/DeviceManualView.h"
#include "screens/FirmwaerUpdateLog.h"
#include "ui/AppKitFrame.h"
#include "ui/Picture.h"
#include "ui/SButton.h"
#include "ui/SLabel.h"
#include "ui/SMiniImageView.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>

namespace flashwell {

namespace {

constexpr qreal kListWidth = 738;
constexpr qreal kListHeight = 278;
constexpr qreal kRowHeight = 40;
constexpr qreal kPictureWidth = 110;
constexpr qreal kPictureHeight = 90;
constexpr qreal kPictureTop = 20;
constexpr qreal kUpdateWidth = 210;
constexpr qreal kButtonHeight = 38;
constexpr qreal kSideWidth = 100;

QString text(const char *key)
{
    return Bundle::localizedString(key);
}

QColor colour(ScreenColour c)
{
    switch (c) {
    case ScreenColour::Red:
        return {255, 52, 90};
    case ScreenColour::Blue:
        return {0, 160, 233};
    case ScreenColour::Green:
        return {90, 178, 31};
    case ScreenColour::Grey:
        return {128, 128, 128}; // a button grey, darker than the screen's so the white title reads
    case ScreenColour::White:
        break;
    }
    return Qt::white;
}

void apply(SButton *button, const ScreenButton &look)
{
    if (button->m_title() != look.title)
        button->setM_title(look.title);
    button->setM_progress(static_cast<float>(look.progress));
    // Highlight first: each setter also sets the colour drawn now, which is the background at rest.
    const bool highlightChanged = button->m_highlightColor() != colour(look.highlight);
    if (highlightChanged)
        button->setM_highlightColor(colour(look.highlight));
    if (highlightChanged || button->m_backgroundColor() != colour(look.background))
        button->setM_backgroundColor(colour(look.background));
    button->setHidden(look.hidden);
}

void setPicture(SMiniImageView *view, const QString &name)
{
    if (view->image().name() != name)
        view->setImageNamed(name);
}

// A row of the list: grey, with a one-point border.
class RowView final : public SView
{
public:
    using SView::SView;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        SView::paintEvent(event);
        QPainter p(this);
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
};

// The checkbox of a row: its picture, the alternate one while pressed, the ticked one when checked.
class RowCheckbox final : public QAbstractButton
{
public:
    explicit RowCheckbox(QWidget *parent)
        : QAbstractButton(parent)
    {
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
        setCheckable(true);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const char *name = isChecked() ? "checkbox_selected" : isDown() ? "checkbox_highlight" : "checkbox_nomal";
        Picture::imageNamed(QString::fromLatin1(name)).drawProportionallyDown(p, QRectF(rect()));
        if (hasFocus()) {
            p.setPen(QPen(QColor(0, 160, 233), 1));
            p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
        }
    }
};

} // namespace

// The small spinning indicator shown while the list loads.
class UpdateSpinner final : public QWidget
{
public:
    explicit UpdateSpinner(QWidget *parent)
        : QWidget(parent)
    {
        m_timer.setInterval(80);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_angle = (m_angle + 30) % 360;
            update();
        });
    }

protected:
    void showEvent(QShowEvent *) override { m_timer.start(); }
    void hideEvent(QHideEvent *) override { m_timer.stop(); }
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(128, 128, 128), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(rect()).adjusted(2, 2, -2, -2), -m_angle * 16, 270 * 16);
    }

private:
    QTimer m_timer;
    int m_angle = 0;
};

UpdateView::UpdateView(UpdateSessionController &controller, QWidget *parent)
    : SView(parent)
    , m_controller(&controller)
{
    build();
}

void UpdateView::build()
{
    m_miniImageView = new SMiniImageView(this);
    m_miniImageView->setImageNamed(QStringLiteral("device_default"));
    m_miniImageView->setDelegate(this);
    m_miniRRImageView = new SMiniImageView(this);
    m_miniRRImageView->setImageNamed(QStringLiteral("device_default"));
    m_miniRRImageView->setDelegate(this);
    m_miniRRImageView->hide();

    m_firmwaerListVist = new SView(this);
    m_scrollView = new QScrollArea(m_firmwaerListVist);
    m_scrollView->setFrameShape(QFrame::NoFrame);
    m_scrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollView->setWidgetResizable(false);
    m_scrollView->setAccessibleName(text("updateListHint"));
    QPalette palette = m_scrollView->palette();
    palette.setColor(QPalette::Window, SView::screenGrey());
    m_scrollView->setPalette(palette);
    m_scrollView->setAutoFillBackground(true);
    m_scrollView->viewport()->setPalette(palette);
    m_scrollView->viewport()->setAutoFillBackground(true);
    m_scrollView->setWidget(new SView);

    m_findNewVersionListView = new SView(this);
    initFindNewVersion();

    m_progress = new UpdateSpinner(this);
    m_reloadButton = new QPushButton(text("reload"), this);
    connect(m_reloadButton, &QPushButton::clicked, this, [this] { m_controller->reloadClic(); });

    m_hintLabel = new SLabel(this);
    m_hintLabel->setTextColor(Qt::red);
    m_hintLabel->setStringValue(text("emptyFirmwaer"));
    m_notFirmware = new SLabel(this);
    m_notFirmware->setTextColor(Qt::red);
    m_notFirmware->setStringValue(text("notFirmware"));
    m_firmwaerHintLabel = new SLabel(this);

    m_updateButton = new SButton(this);
    m_updateButton->setM_titleHighlighColor(Qt::white);
    m_updateButton->setDelegate(this);
    m_leftButton = new SButton(this);
    m_leftButton->setM_titleHighlighColor(Qt::white);
    m_leftButton->setDelegate(this);
    m_rightButton = new SButton(this);
    m_rightButton->setDelegate(this);

    UpdateSessionController *c = m_controller;
    connect(c, &UpdateSessionController::modelChanged, this, &UpdateView::refresh);
    connect(c, &UpdateSessionController::rowsRebuilt, this, &UpdateView::rebuildRows);
    connect(c, &UpdateSessionController::alertRequested, this, &UpdateView::showAlert);
    connect(c, &UpdateSessionController::terminateRequested, this, [this](int status) {
        if (m_terminate)
            m_terminate(status);
    });
    // A controller that was already in use may have rows to show.
    if (!m_controller->model().rows.isEmpty())
        rebuildRows();
    refresh();
}

UpdateView::~UpdateView() = default;

QWidget *UpdateView::progress() const
{
    return m_progress;
}

void UpdateView::initFindNewVersion()
{
    m_findNewVersionLabel = new SLabel(m_findNewVersionListView);
    QFont big = m_findNewVersionLabel->font();
    big.setPixelSize(20);
    m_findNewVersionLabel->setFont(big);
    m_findNewVersionLogTextView = new QTextEdit(m_findNewVersionListView);
    m_findNewVersionLogTextView->setReadOnly(true);
    m_findNewVersionLogTextView->setTextInteractionFlags(Qt::NoTextInteraction);
    m_findNewVersionLogTextView->setFrameShape(QFrame::NoFrame);
    m_findNewVersionLogTextView->viewport()->setAutoFillBackground(false);
    m_findNewVersionLogTextView->setStyleSheet(QStringLiteral("background: transparent"));
    QFont notes = m_findNewVersionLogTextView->font();
    notes.setPixelSize(14);
    m_findNewVersionLogTextView->setFont(notes);
    m_findNewVersionLogTextView->setAccessibleName(text("releaseNotes"));
}

void UpdateView::loadViews()
{
    m_controller->loadViews();
    layoutControls();
}

void UpdateView::removeFromSuperview()
{
    m_controller->removeFromSuperview();
    hide();
}

void UpdateView::resizeEvent(QResizeEvent *event)
{
    SView::resizeEvent(event);
    layoutControls();
}

void UpdateView::showEvent(QShowEvent *event)
{
    SView::showEvent(event);
    loadViews();
}

void UpdateView::mousePressEvent(QMouseEvent *event)
{
    // Clicks on empty parts of the screen go nowhere.
    event->accept();
}

void UpdateView::layoutControls()
{
    const qreal w = width();
    const qreal h = height();
    const UpdateScreenModel &m = m_controller->model();

    const qreal pictureX = w / 2 - kPictureWidth / 2 - (m_controller->isShowMiniRRImage() ? 60 : 0);
    const qreal pictureY = h - kPictureTop - kPictureHeight;
    AppKitFrame::setFrame(m_miniImageView, {pictureX, pictureY, kPictureWidth, kPictureHeight});
    AppKitFrame::setFrame(m_miniRRImageView, {pictureX + 115, pictureY, kPictureWidth, kPictureHeight});

    const QRectF list((w - kListWidth) / 2, (h - kListHeight) / 2, kListWidth, kListHeight);
    AppKitFrame::setFrame(m_firmwaerListVist, list);
    AppKitFrame::setFrame(m_scrollView, {0, 0, kListWidth, kListHeight});
    AppKitFrame::setFrame(m_findNewVersionListView, list);
    m_findNewVersionLabel->sizeToFit();
    const QSizeF label = m_findNewVersionLabel->size();
    AppKitFrame::setFrame(m_findNewVersionLabel, {(kListWidth - label.width()) / 2, kListHeight - 10 - label.height(),
                                                  label.width(), label.height()});
    AppKitFrame::setFrame(m_findNewVersionLogTextView, {40, 10, kListWidth - 80, kListHeight - label.height() - 30});

    const qreal listMiddle = list.y() + kListHeight / 2;
    AppKitFrame::setFrame(m_progress, {w / 2 - 8, listMiddle - 8, 16, 16});
    AppKitFrame::setFrame(m_reloadButton, {w / 2 - 40, listMiddle - 15, 80, 30});

    m_hintLabel->sizeToFit();
    const qreal lineHeight = m_hintLabel->height();
    const qreal hintLabelY = list.y() - 20 - lineHeight;
    AppKitFrame::setFrame(m_hintLabel,
                          {(w - m_hintLabel->width()) / 2, hintLabelY, qreal(m_hintLabel->width()), lineHeight});
    AppKitFrame::setFrame(m_notFirmware, {0, h - 180 - lineHeight, w, lineHeight});
    const qreal hintY = hintLabelY - 10 - lineHeight;
    AppKitFrame::setFrame(m_firmwaerHintLabel, {(w - 350) / 2, hintY, 350, lineHeight});

    const qreal updateX = w / 2 - kUpdateWidth / 2;
    const qreal buttonY = hintY - 30 - kButtonHeight;
    AppKitFrame::setFrame(m_updateButton, {updateX, buttonY, kUpdateWidth, kButtonHeight});
    if (m.sideButtons == UpdateScreenModel::Placement::Choice) {
        AppKitFrame::setFrame(m_leftButton, {w / 2 - kSideWidth - 15, buttonY, kSideWidth, kButtonHeight});
        AppKitFrame::setFrame(m_rightButton, {w / 2 + 15, buttonY, kSideWidth, kButtonHeight});
    } else {
        AppKitFrame::setFrame(m_leftButton, {updateX - 35 - kSideWidth, buttonY, kSideWidth, kButtonHeight});
        AppKitFrame::setFrame(m_rightButton, {updateX + kUpdateWidth + 35, buttonY, kSideWidth, kButtonHeight});
    }
    if (m_manualView)
        m_manualView->setGeometry(rect());
}

void UpdateView::refresh()
{
    const UpdateScreenModel &m = m_controller->model();
    setPicture(m_miniImageView, m.devicePicture);
    m_miniImageView->setHidden(m.devicePictureHidden);
    m_miniImageView->setIsSelect(m.devicePictureSelected);
    m_miniImageView->setIsClick(m.devicePictureClickable && !m.releaseFixed);
    // The pictures are named for assistive technology by the product they stand for.
    const SFenwykDataDetailsPtr entry = m_controller->device() ? m_controller->device()->details() : nullptr;
    const QString product = entry ? entry->name() : QString();
    m_miniImageView->setAccessibleName(text("updateDevicePicture").arg(product).trimmed());
    m_miniRRImageView->setAccessibleName(text("updateReceiverPicture").arg(product).trimmed());
    setPicture(m_miniRRImageView, m.receiverPicture);
    m_miniRRImageView->setHidden(m.receiverPictureHidden);
    m_miniRRImageView->setIsSelect(m.receiverPictureSelected);
    m_miniRRImageView->setIsClick(m.receiverPictureClickable && !m.releaseFixed);

    m_firmwaerListVist->setHidden(m.listHidden);
    m_findNewVersionListView->setHidden(m.panelHidden);
    m_findNewVersionLabel->setStringValue(m.panelLine);
    if (m_findNewVersionLogTextView->toPlainText() != m.panelNotes)
        m_findNewVersionLogTextView->setPlainText(m.panelNotes);
    m_progress->setHidden(m.spinnerHidden);
    m_reloadButton->setHidden(m.reloadHidden);
    m_hintLabel->setHidden(m.hintLabelHidden);
    m_notFirmware->setHidden(m.notFirmwareHidden);
    m_firmwaerHintLabel->setStringValue(m.hint);
    m_firmwaerHintLabel->setHidden(m.hintHidden);

    apply(m_updateButton, m.updateButton);
    apply(m_leftButton, m.leftButton);
    apply(m_rightButton, m.rightButton);

    for (const Row &row : m_rows) {
        const int tag = row.checkbox->property("tag").toInt();
        const auto it = std::find_if(m.rows.begin(), m.rows.end(), [tag](const ReleaseRow &r) { return r.tag == tag; });
        row.checkbox->setChecked(it != m.rows.end() && it->checked);
        row.checkbox->setEnabled(!m.releaseFixed);
    }

    if (m.guideShown) {
        showGuide();
    } else if (m_manualView) {
        m_manualView->hide();
    }
    // Progress reports come with every chunk: lay out again only when the geometry can change.
    const LayoutKey key{m.sideButtons, m_controller->isShowMiniRRImage(), m.panelLine};
    if (key != m_laidOutFor) {
        m_laidOutFor = key;
        layoutControls();
    }
}

void UpdateView::showGuide()
{
    const UpdateScreenModel &m = m_controller->model();
    if (!m_manualView) {
        m_manualView = new DeviceManualView(this);
        m_manualView->setGeometry(rect());
    }
    if (m_manualView->device() != m.guideDevice)
        m_manualView->setDevice(m.guideDevice);
    if (m_manualView->error() != m.guideError)
        m_manualView->setError(m.guideError);
    m_manualView->show();
    m_manualView->raise();
}

void UpdateView::rebuildRows()
{
    const UpdateScreenModel &m = m_controller->model();
    m_rows.clear();
    const int n = static_cast<int>(m.rows.size());
    const int visible = n >= 7 ? 7 : n;
    m_scrollView->setVerticalScrollBarPolicy(m.scroller ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    auto *document = new SView;
    const qreal firstY = kListHeight - kRowHeight * visible;
    // The document ends at the top edge of the top row.
    document->resize(static_cast<int>(kListWidth), static_cast<int>(std::max(kListHeight, firstY + kRowHeight * n)));
    // The rows stand from the last release up, so the first release is the top row.
    for (int i = n - 1; i >= 0; --i) {
        const ReleaseRow &release = m.rows[i];
        const qreal y = firstY + kRowHeight * (n - 1 - i);
        Row row{};
        row.row = new RowView(document);
        AppKitFrame::setFrame(row.row, {0, y, kListWidth, kRowHeight});

        row.name = new SLabel(row.row);
        row.name->setTextColor(QColor(128, 128, 128));
        QFont nameFont = row.name->font();
        nameFont.setPixelSize(16); // 15.5 points, to the nearest whole pixel
        row.name->setFont(nameFont);
        row.name->setStringValue(release.name);
        row.name->sizeToFit();
        AppKitFrame::setFrame(
            row.name, {35, kRowHeight - 10 - row.name->height(), qreal(row.name->width()), qreal(row.name->height())});
        if (release.tag == 0) {
            row.newMark = new SLabel(row.row);
            row.newMark->setTextColor(QColor(217, 88, 88));
            QFont newFont = row.newMark->font();
            newFont.setPixelSize(15);
            row.newMark->setFont(newFont);
            row.newMark->setStringValue(release.newMark);
            row.newMark->sizeToFit();
            AppKitFrame::setFrame(row.newMark,
                                  {35 + qreal(row.name->width()) + 20, kRowHeight - 10 - row.newMark->height(),
                                   qreal(row.newMark->width()), qreal(row.newMark->height())});
        }
        auto *checkbox = new RowCheckbox(row.row);
        checkbox->setProperty("tag", release.tag);
        checkbox->setChecked(release.checked);
        checkbox->setAccessibleName(text("updateCheckboxHint") + QStringLiteral(": ") + release.name);
        AppKitFrame::setFrame(checkbox, {kListWidth - 50, 10, 20, 20});
        connect(checkbox, &QAbstractButton::clicked, this, [this, tag = release.tag] { chengeboxClick(tag); });
        row.checkbox = checkbox;

        row.notes = new QPushButton(text("log"), row.row);
        row.notes->setStyleSheet(QStringLiteral("QPushButton { color: black; background: white; border: 1px solid "
                                                "#808080; padding: 2px 8px; } QPushButton:focus { border-color: "
                                                "#00a0e9; }"));
        row.notes->setAccessibleName(text("log") + QStringLiteral(": ") + release.name);
        const QSize notesSize = row.notes->sizeHint();
        AppKitFrame::setFrame(row.notes,
                              {kListWidth - 50 - 10 - notesSize.width(), (kRowHeight - notesSize.height()) / 2,
                               qreal(notesSize.width()), qreal(notesSize.height())});
        connect(row.notes, &QPushButton::clicked, this, [this, tag = release.tag] { showLogClick(tag); });

        row.separator = new QWidget(row.row);
        row.separator->setAutoFillBackground(true);
        QPalette line = row.separator->palette();
        line.setColor(QPalette::Window, QColor(128, 128, 128, 128));
        row.separator->setPalette(line);
        AppKitFrame::setFrame(row.separator, {35, 0, kListWidth - 60, 1});
        m_rows.prepend(row);
    }
    // Keyboard order follows the rows from the top, in one pass along the chain: each pair set
    // after the next would pull that widget out of the order already made.
    for (int i = 0; i < m_rows.size(); ++i) {
        QWidget::setTabOrder(m_rows[i].checkbox, m_rows[i].notes);
        if (i + 1 < m_rows.size())
            QWidget::setTabOrder(m_rows[i].notes, m_rows[i + 1].checkbox);
    }
    delete m_scrollView->takeWidget();
    m_scrollView->setWidget(document);
    m_scrollView->verticalScrollBar()->setValue(0);
}

void UpdateView::chengeboxClick(int tag)
{
    m_controller->chengeboxClick(tag);
}

void UpdateView::showLogClick(int tag)
{
    if (!m_controller->releaseAt(tag))
        return;
    auto *log = new FirmwaerUpdateLog();
    // The window is loaded first: the title and content go into its fields.
    if (!log->window()) {
        delete log;
        return;
    }
    log->setTitleString(m_controller->logTitle(tag));
    log->setContentString(m_controller->logContent(tag));
    log->showCentredOver(window());
}

void UpdateView::showAlert(const QString &buttonTitle, const QString &message)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QString(), message, QMessageBox::NoButton, this);
    box->addButton(buttonTitle, QMessageBox::AcceptRole);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_alert = box;
    box->open();
}

void UpdateView::SButtonClick(SButton *button)
{
    if (button == m_updateButton)
        m_controller->SButtonClick(UpdateSessionController::Button::Update);
    else if (button == m_leftButton)
        m_controller->SButtonClick(UpdateSessionController::Button::Left);
    else if (button == m_rightButton)
        m_controller->SButtonClick(UpdateSessionController::Button::Right);
}

void UpdateView::SMiniImageViewClick(SMiniImageView *view)
{
    m_controller->SMiniImageViewClick(view == m_miniRRImageView ? UpdateSessionController::Picture::Receiver
                                                                : UpdateSessionController::Picture::Device);
}

} // namespace flashwell
