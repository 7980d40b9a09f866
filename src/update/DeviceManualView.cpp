#include "update/DeviceManualView.h"

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

using Lines = std::array<const char *, 3>;

// Key sets: the lines that several rows share.
constexpr Lines kSet1{"guideSet1_1", "guideSet1_2", "guideSet1_3"};
constexpr Lines kSet2{"guideSet2_1", "guideSet2_2", "guideSet2_3"};
constexpr Lines kSet3{"guideSet3_1", "guideSet3_2", "guideSet3_3"};
constexpr Lines kSet4{"guideSet4_1", "guideSet4_2", nullptr}; // receiver
constexpr Lines kSet5{"guideSet5_1", "guideSet5_2", nullptr}; // USB receiver
constexpr Lines kSet6{"guideSet6_1", "guideSet6_2", nullptr};
constexpr Lines kSet7{"guideSet7_1", "guideSet7_2", "guideSet7_3"};
constexpr Lines kSet8{"guideSet8_1", "guideSet8_2", "guideSet8_3"};
constexpr Lines kSet9{"guideSet9_1", "guideSet9_2", "guideSet9_3"};
constexpr Lines kSet10{"guideSet10_1", "guideSet10_2", "guideSet10_3"};
constexpr Lines kSet11{"guideSet11_1", "guideSet11_2", "guideSet11_3"};
constexpr Lines kSet12{"guideSet12_1", "guideSet12_2", "guideSet12_3"};
constexpr Lines kSet13{"guideSet13_1", "guideSet13_2", "guideSet13_3"}; // arcade receiver
constexpr Lines kSet14{"guideKeyA", "guideKeyB", nullptr};
constexpr Lines kSet15{"guideKeyA", "guide37_2", nullptr};
constexpr Lines kSet16{"HOMEKey", "guideKeyB", nullptr};
constexpr Lines kKit14{"guideKit14_1", "guideKit14_2", nullptr};
constexpr Lines kKit15{"guideKit15_1", "guideKit15_2", nullptr};
constexpr Lines kKit16{"guideKit16_1", "guideKit16_2", nullptr};
constexpr Lines kKit24{"guideKit24_1", "guideKit24_2", nullptr};
constexpr Lines kKit27{"guideKit27_1", "guideKit27_2", nullptr};
constexpr Lines kGuide51{"guideSet11_1", "guide51_2", "guideSet12_3"};

using Row = DeviceManualView::GuideRow;

constexpr Row kTypeRows[] = {
    {1, "guide_1", nullptr, kSet2, true},
    {4, "guide_4", nullptr, kSet1},
    {9, "guide_9", nullptr, kSet1},
    {13, "guide_13", nullptr, kSet1},
};

// One row per key (catalogue type, plus 1 for a receiver's guide).
constexpr Row kKeyedRows[] = {
    {2, "guide_2", "guide_2_F", kSet3},  {3, "guide_3", nullptr, kSet3},     {5, "guide_4", nullptr, kSet1},
    {6, "guide_6", nullptr, kSet4},      {7, "guide_7", "guide_7_F", kSet4}, {8, "guide_8", nullptr, kSet5},
    {10, "guide_10", nullptr, kSet3},    {14, "guide_14", nullptr, kKit14},  {15, "guide_15", nullptr, kKit15},
    {16, "guide_16", nullptr, kKit16},   {20, "guide_20", nullptr, kSet6},   {21, "guide_8", nullptr, kSet5},
    {22, "guide_22", nullptr, kSet4},    {23, "guide_23", nullptr, kSet7},   {24, "guide_24", nullptr, kKit24},
    {25, "guide_25", nullptr, kSet8},    {26, "guide_26", nullptr, kKit15},  {27, "guide_27", nullptr, kKit27},
    {28, "guide_28", nullptr, kSet9},    {30, "guide_30", nullptr, kSet10},  {31, "guide_31", nullptr, kSet11},
    {33, "guide_33", nullptr, kSet8},    {34, "guide_34", nullptr, kSet12},  {35, "guide_35", nullptr, kSet13},
    {36, "guide_36", nullptr, kSet14},   {37, "guide_37", nullptr, kSet15},  {38, "guide_33", nullptr, kSet8},
    {39, "guide_8", nullptr, kSet5},     {40, "guide_40", nullptr, kSet14},  {41, "guide_41", nullptr, kSet16},
    {42, "guide_35", nullptr, kSet13},   {43, "guide_41", nullptr, kSet16},  {44, "guide_35", nullptr, kSet13},
    {45, "guide_45", nullptr, kSet14},   {46, "guide_28", nullptr, kSet9},   {47, "guide_28", nullptr, kSet9},
    {48, "guide_48", nullptr, kSet16},   {49, "guide_35", nullptr, kSet13},  {50, "guide_50", nullptr, kSet14},
    {51, "guide_51", nullptr, kGuide51}, {52, "guide_35", nullptr, kSet13},  {57, "guide_57", nullptr, kSet3},
    {58, "guide_35", nullptr, kSet13},   {59, "guide_59", nullptr, kSet4},   {60, "guide_60", nullptr, kSet3},
};

// The close-up of the held buttons: type 1's second picture, and the always-hidden extras.
constexpr const char *kSecondPicture = "guide_1_sub";

constexpr QRectF kTypeOneMainFrame(220, 350, 370, 200);
constexpr QRectF kTypeOneSecondFrame(245, 250, 320, 100);
constexpr qreal kPictureWidth = 550;
constexpr qreal kPictureHeight = 260;
constexpr qreal kFirstLineBelowPicture = 60;
constexpr qreal kLineGap = 20;

const Row *findRow(std::span<const Row> rows, int key)
{
    const auto it = std::find_if(rows.begin(), rows.end(), [key](const Row &row) { return row.key == key; });
    return it == rows.end() ? nullptr : &*it;
}

QString localized(const char *key)
{
    return key ? Bundle::localizedString(key) : QString();
}

} // namespace

std::span<const DeviceManualView::GuideRow> DeviceManualView::typeRows()
{
    return kTypeRows;
}

std::span<const DeviceManualView::GuideRow> DeviceManualView::keyedRows()
{
    return kKeyedRows;
}

const char *DeviceManualView::pictureFor(const GuideRow &row, const QString &catalogueName)
{
    if (!row.pictureWithF)
        return row.picture;
    // Every name starts with the maker's word, which has an "F" of its own: look at the model.
    static const QString maker = QStringLiteral("Fenwyk ");
    const QString model = catalogueName.startsWith(maker) ? catalogueName.mid(maker.size()) : catalogueName;
    return model.contains(QLatin1Char('F')) ? row.pictureWithF : row.picture;
}

DeviceManualView::DeviceManualView(QWidget *parent)
    : SView(parent)
    , m_mainImageView(new ImageView(this))
    , m_submainImageView(new ImageView(this))
    , m_subImageView(new ImageView(this))
    , m_subsubImageView(new ImageView(this))
    , m_oneHintLabel(new SLabel(this))
    , m_twoHintLabel(new SLabel(this))
    , m_threeHintLabel(new SLabel(this))
{
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
    const float height = static_cast<float>(m_size.height());
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
    refreshAccessibleText();
}

void DeviceManualView::setUI()
{
    for (SLabel *line : {m_oneHintLabel, m_twoHintLabel, m_threeHintLabel})
        line->setTextColor(Qt::black);
    m_submainImageView->hide();
    m_subImageView->hide();
    m_subsubImageView->hide();

    const SFenwykDataDetailsPtr details = m_device ? m_device->details() : nullptr;
    if (!details)
        return;
    const QString name = details->storedName();

    if (const Row *row = findRow(kTypeRows, details->type)) {
        applyRow(*row, name);
        if (row->withSecondPicture) {
            setMainFrame(kTypeOneMainFrame);
            AppKitFrame::setFrame(m_submainImageView, kTypeOneSecondFrame);
            m_submainImageView->show();
        }
    }

    const int key = details->type + (m_device->isManuanlViewRR ? 1 : 0);
    if (key < 2 || key > 60)
        return;
    if (const Row *row = findRow(kKeyedRows, key)) {
        // A keyed row replaces everything a type row set, the second picture included.
        setMainFrame(mainImageFrame());
        m_submainImageView->hide();
        applyRow(*row, name);
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
        lines << qtTrId("guideErrorHint");
    for (const SLabel *line : {m_oneHintLabel, m_twoHintLabel, m_threeHintLabel})
        if (!line->text().isEmpty())
            lines << line->text();
    setAccessibleDescription(lines.join(QLatin1Char('\n')));
}

} // namespace flashwell
