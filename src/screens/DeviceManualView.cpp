#include "screens/DeviceManualView.h"

#include "platform/Bundle.h"
#include "ui/AppKitFrame.h"
#include "ui/ImageView.h"
#include "ui/SLabel.h"

#include <QResizeEvent>
#include <QShowEvent>

#include <algorithm>
#include <cmath>

namespace flashwell {

namespace {

using Row = DeviceManualView::GuideRow;

// The close-up of the held buttons: type 1's second picture, and the always-hidden extras.
constexpr const char *kSecondPicture = "guide_1_sub";

constexpr QRectF kTypeOneMainFrame(220, 350, 370, 200);
constexpr QRectF kTypeOneSecondFrame(245, 250, 320, 100);
constexpr qreal kPictureWidth = 550;
constexpr qreal kPictureHeight = 260;
constexpr qreal kFirstLineBelowPicture = 60;
constexpr qreal kLineGap = 20;
constexpr qreal kErrorHintAbovePicture = 8;

QString localized(const char *key)
{
    return key ? Bundle::localizedString(key) : QString();
}

} // namespace

DeviceManualView::DeviceManualView(QWidget *parent)
    : SView(parent)
    , m_mainImageView(new ImageView(this))
    , m_submainImageView(new ImageView(this))
    , m_subImageView(new ImageView(this))
    , m_subsubImageView(new ImageView(this))
    , m_oneHintLabel(new SLabel(this))
    , m_twoHintLabel(new SLabel(this))
    , m_threeHintLabel(new SLabel(this))
    , m_errorHintLabel(new SLabel(this))
{
    m_errorHintLabel->setTextColor(Qt::red);
    m_errorHintLabel->hide();
    m_submainImageView->setImageNamed(QString::fromLatin1(kSecondPicture));
    m_subImageView->setImageNamed(QString::fromLatin1(kSecondPicture));
    m_subsubImageView->setImageNamed(QString::fromLatin1(kSecondPicture));
    m_submainImageView->hide();
    m_subImageView->hide();
    m_subsubImageView->hide();
    m_mainImageView->setAccessibleName(qtTrId("guidePicture"));
    m_mainImageView->setAccessibleDescription(qtTrId("guidePictureHint"));
    m_submainImageView->setAccessibleName(qtTrId("guidePictureHint"));
    setAccessibleName(qtTrId("guidePicture"));
}

void DeviceManualView::setDevice(SFenwykDevicePtr device)
{
    m_device = std::move(device);
    layout();
}

void DeviceManualView::setError(bool error)
{
    m_error = error;
    layout();
}

void DeviceManualView::resizeEvent(QResizeEvent *event)
{
    SView::resizeEvent(event);
    layout();
}

void DeviceManualView::showEvent(QShowEvent *event)
{
    SView::showEvent(event);
    layout();
}

QRectF DeviceManualView::mainImageFrame() const
{
    const auto height = static_cast<float>(m_size.height());
    return {(m_size.width() - kPictureWidth) / 2, 0.9f * height - static_cast<float>(kPictureHeight), kPictureWidth,
            kPictureHeight};
}

void DeviceManualView::setMainFrame(const QRectF &frame)
{
    m_mainFrame = frame;
    AppKitFrame::setFrame(m_mainImageView, frame);
}

void DeviceManualView::layout()
{
    m_size = QSizeF(size());
    setMainFrame(mainImageFrame());
    setUI();
    if (m_error) {
        m_oneHintLabel->setStringValue(m_oneHintLabel->text().replace(QLatin1Char('3'), QLatin1Char('8')));
        for (SLabel *line : {m_oneHintLabel, m_twoHintLabel, m_threeHintLabel})
            line->setTextColor(Qt::red);
    }
    layoutErrorHint();
    refreshAccessibleText();
}

void DeviceManualView::layoutErrorHint()
{
    m_errorHintLabel->setVisible(m_error);
    if (!m_error)
        return;
    m_errorHintLabel->setStringValue(qtTrId("guideErrorHint"));
    m_errorHintLabel->sizeToFit();
    // Centred, just above the picture (bottom-up: the picture's top is its y plus its height).
    const qreal width = m_errorHintLabel->width();
    const qreal bottom = std::trunc(m_mainFrame.y() + m_mainFrame.height()) + kErrorHintAbovePicture;
    AppKitFrame::setFrame(m_errorHintLabel,
                          QRectF(std::trunc((m_size.width() - width) / 2), bottom, width, m_errorHintLabel->height()));
}

void DeviceManualView::setUI()
{
    for (SLabel *line : {m_oneHintLabel, m_twoHintLabel, m_threeHintLabel})
        line->setTextColor(Qt::black);
    m_submainImageView->hide();
    m_subImageView->hide();
    m_subsubImageView->hide();

    if (!m_device)
        return;
    const guide_table::GuideRow *row = guide_table::rowFor(*m_device);
    if (!row) {
        // No row for this product: its own picture and steps that suit every device, never the
        // buttons of whatever device the guide showed before.
        QStringList texts;
        for (const char *key : guide_table::recoveryLines())
            texts << localized(key);
        setMainImageView(guide_table::recoveryPicture(*m_device), texts.value(0), texts.value(1), texts.value(2));
        return;
    }
    applyRow(*row, m_device->details()->storedName());
    if (row->withSecondPicture) {
        setMainFrame(kTypeOneMainFrame);
        AppKitFrame::setFrame(m_submainImageView, kTypeOneSecondFrame);
        m_submainImageView->show();
    }
}

void DeviceManualView::applyRow(const GuideRow &row, const QString &catalogueName)
{
    setMainImageView(QString::fromLatin1(pictureFor(row, catalogueName)), localized(row.lines[0]),
                     localized(row.lines[1]), localized(row.lines[2]));
}

void DeviceManualView::setMainImageView(const QString &picture, const QString &one, const QString &two,
                                        const QString &three)
{
    m_mainImageView->setImageNamed(picture);
    SLabel *const lines[] = {m_oneHintLabel, m_twoHintLabel, m_threeHintLabel};
    const QString texts[] = {one, two, three};
    qreal widest = 0;
    for (int i = 0; i < 3; ++i) {
        SLabel *line = lines[i];
        line->setStringValue(texts[i]);
        line->sizeToFit();
        widest = std::max<qreal>(widest, line->width());
    }
    // One left edge for all lines: the block is centred by its widest line.
    const qreal left = std::trunc((m_size.width() - widest) / 2);
    // From the frame as computed, not as rounded onto the pixel grid.
    qreal bottom = std::trunc(m_mainFrame.y()) - kFirstLineBelowPicture;
    for (int i = 0; i < 3; ++i) {
        SLabel *line = lines[i];
        if (i > 0)
            bottom -= kLineGap + line->height();
        AppKitFrame::setFrame(line, QRectF(left, bottom, line->width(), line->height()));
    }
}

void DeviceManualView::refreshAccessibleText()
{
    QStringList lines;
    if (m_error)
        lines << m_errorHintLabel->text();
    for (const SLabel *line : {m_oneHintLabel, m_twoHintLabel, m_threeHintLabel})
        if (!line->text().isEmpty())
            lines << line->text();
    setAccessibleDescription(lines.join(QLatin1Char('\n')));
}

} // namespace flashwell
