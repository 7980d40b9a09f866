#include "screens/MoreView.h"

#include "platform/Bundle.h"
#include "ui/AppKitFrame.h"
#include "ui/Picture.h"
#include "ui/SLabel.h"

#include <QAbstractButton>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

namespace flashwell {

namespace {

constexpr int kMargin = 18;
constexpr int kLabelHeight = 40;

// A borderless product button: its picture scaled proportionally down, the pressed picture
// while it is held down, and the product name near its bottom edge.
class ProductButton final : public QAbstractButton
{
public:
    ProductButton(const SFenwykDataDetails &entry, QWidget *parent)
        : QAbstractButton(parent)
        , m_image(Picture::imageNamed(entry.moreImage))
        , m_pressed(Picture::imageNamed(entry.moreImagehighlight))
    {
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(MoreView::displayName(entry));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const Picture &picture = isDown() && !m_pressed.isNull() ? m_pressed : m_image;
        if (!picture.isNull())
            picture.drawProportionallyDown(painter, QRectF(rect()));
        if (hasFocus()) {
            painter.setPen(QPen(QColor(0, 160, 233), 2));
            painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 8, 8);
        }
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            click();
        else
            QAbstractButton::keyPressEvent(event);
    }

private:
    Picture m_image;
    Picture m_pressed;
};

} // namespace

MoreView::MoreView(QWidget *parent)
    : SView(parent)
{
    title = new SLabel(this);
    title->setStringValue(Bundle::localizedString("chooseProduct"));
    title->setTextColor(Qt::black);

    line = new QWidget(this);
    line->setAutoFillBackground(true);
    QPalette black = line->palette();
    black.setColor(QPalette::Window, Qt::black);
    line->setPalette(black);

    moreScrollView = new QScrollArea(this);
    moreScrollView->setFrameShape(QFrame::NoFrame);
    moreScrollView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    moreScrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    moreScrollView->setWidgetResizable(false);
    QPalette grey = moreScrollView->palette();
    grey.setColor(QPalette::Window, screenGrey());
    moreScrollView->setPalette(grey);
    moreScrollView->viewport()->setAutoFillBackground(true);
    moreScrollView->viewport()->setPalette(grey);
}

QString MoreView::displayName(const SFenwykDataDetails &entry)
{
    const QString name = entry.name();
    return name.contains(QStringLiteral("Fenwyk")) ? name.mid(7) : name;
}

void MoreView::resizeEvent(QResizeEvent *event)
{
    SView::resizeEvent(event);
    layout();
}

void MoreView::layout()
{
    m_widht = width();
    m_height = height();
    const double w = m_widht;
    const double h = m_height;

    title->sizeToFit();
    const double titleHeight = title->height();
    const QRectF titleFrame(kMargin, h - titleHeight - kMargin, w - 2 * kMargin, titleHeight);
    AppKitFrame::setFrame(title, titleFrame);
    const QRectF lineFrame(kMargin, titleFrame.y() - 4, w - 2 * kMargin, 1);
    AppKitFrame::setFrame(line, lineFrame);
    AppKitFrame::setFrame(moreScrollView,
                          QRectF(kMargin, kMargin, w - 2 * kMargin, std::max(0.0, lineFrame.y() - 2 * kMargin)));
    addProduct();
}

void MoreView::addProduct()
{
    moreSFenwykDatails = SFenwykDeviceDetailsTools::getMoreFenwykDevicePIDVIDAndNAMEs();

    auto *document = new QWidget;
    const int n = static_cast<int>(moreSFenwykDatails.size());
    const int rows = (n + 2) / 3;
    const double c = (moreScrollView->width() - 54 + 1) / 3.0;
    // The document is as wide as the content area (the scroll area less its scroller, measured
    // from the scroll area itself: its viewport may not have been resized yet in this pass) and as
    // tall as its rows; placing children bottom-up needs the height first.
    const int contentWidth =
        std::max(0, moreScrollView->width() - moreScrollView->verticalScrollBar()->sizeHint().width());
    document->resize(contentWidth, rows * kRowHeight);

    QFont nameFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    nameFont.setPixelSize(15);
    for (int i = 0; i < n; ++i) {
        const SFenwykDataDetails &entry = *moreSFenwykDatails[i];
        const int column = i % 3;
        const int row = i / 3;
        auto *button = new ProductButton(entry, document);
        button->setObjectName(QStringLiteral("product%1").arg(i));
        button->setProperty("tag", i);
        AppKitFrame::setFrame(button, QRectF(kMargin + column * c, (rows - 1 - row) * kRowHeight, c, kRowHeight));
        connect(button, &QAbstractButton::clicked, this, [this, i] { moreClick(i); });

        auto *name = new SLabel(button);
        name->setStringValue(displayName(entry));
        name->setFont(nameFont);
        // Buttons draw top-down (flipped), so this frame is measured from the button's top.
        name->setGeometry(0, kRowHeight - kLabelHeight + 10, button->width(), kLabelHeight);
        name->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    moreScrollView->setWidget(document); // deletes the previous grid
    moreScrollView->verticalScrollBar()->setValue(0);
}

QList<QAbstractButton *> MoreView::productButtons() const
{
    QList<QAbstractButton *> out;
    if (QWidget *document = moreScrollView->widget())
        for (int i = 0; i < moreSFenwykDatails.size(); ++i)
            if (auto *b = document->findChild<QAbstractButton *>(QStringLiteral("product%1").arg(i)))
                out.append(b);
    return out;
}

void MoreView::moreClick(int tag)
{
    if (tag < 0 || tag >= moreSFenwykDatails.size())
        return;
    auto device = std::make_shared<SFenwykDevice>();
    device->setDetails(moreSFenwykDatails[tag]);
    if (delegate())
        delegate()->MoreViewClick(device, this);
}

} // namespace flashwell
