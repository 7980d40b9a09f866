#include "screens/MoreView.h"
#include "device/SFenwykDeviceDetailsTools.h"
#include "platform/Bundle.h"
#include "ui/AppKitFrame.h"
#include "ui/SLabel.h"

#include <QAbstractButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace flashwell;
using flashwell::test::ScopedCatalogue;

namespace {

SFenwykCatalogue products(int n)
{
    SFenwykCatalogue c;
    for (int i = 0; i < n; ++i) {
        auto e = test::entry(static_cast<uint16_t>(0x3000 + i), 0x2DC8, 10 + i,
                             QStringLiteral("Fenwyk Model %1").arg(i).toUtf8().constData(), i + 1);
        e->moreImage = QStringLiteral("more_crane");
        e->moreImagehighlight = QStringLiteral("more_crane_highlight");
        c.append(e);
    }
    return c;
}

class RecordingMoreDelegate final : public QObject, public MoreViewDelegate
{
public:
    void MoreViewClick(const SFenwykDevicePtr &d, MoreView *v) override
    {
        picked.push_back(d);
        view = v;
    }
    std::vector<SFenwykDevicePtr> picked;
    MoreView *view = nullptr;
};

TEST(MoreViewTest, HeadingRuleAndScrollAreaFrames)
{
    ScopedCatalogue catalogue(products(3));
    MoreView more;
    more.resize(800, 560);
    more.show();
    const QRectF title = AppKitFrame::frame(more.title);
    EXPECT_EQ(title.x(), 18);
    EXPECT_EQ(title.width(), 800 - 36);
    EXPECT_EQ(title.y(), 560 - more.title->height() - 18);
    EXPECT_EQ(more.title->text(), Bundle::localizedString("chooseProduct"));
    const QRectF line = AppKitFrame::frame(more.line);
    EXPECT_EQ(line.y(), title.y() - 4);
    EXPECT_EQ(line.height(), 1);
    const QRectF scroll = AppKitFrame::frame(more.moreScrollView);
    EXPECT_EQ(scroll, QRectF(18, 18, 800 - 36, line.y() - 36));
    EXPECT_EQ(more.m_widht, 800);
    EXPECT_EQ(more.m_height, 560);
}

TEST(MoreViewTest, GridRowsAndDocumentHeight)
{
    struct Row
    {
        int products;
        int rows;
    };
    for (const Row row : {Row{7, 3}, Row{6, 2}, Row{1, 1}, Row{0, 0}}) {
        SCOPED_TRACE(row.products);
        ScopedCatalogue catalogue(products(row.products));
        MoreView more;
        more.resize(800, 560);
        more.show();
        ASSERT_EQ(more.moreSFenwykDatails.size(), row.products);
        QWidget *document = more.moreScrollView->widget();
        ASSERT_NE(document, nullptr);
        EXPECT_EQ(document->height(), row.rows * 175);
        const auto buttons = more.productButtons();
        ASSERT_EQ(buttons.size(), row.products);
        const double c = (more.moreScrollView->width() - 54 + 1) / 3.0;
        for (int i = 0; i < row.products; ++i) {
            const QRectF frame = AppKitFrame::frame(buttons[i]);
            EXPECT_NEAR(frame.x(), 18 + (i % 3) * c, 1.0) << i;
            EXPECT_EQ(frame.y(), (row.rows - 1 - i / 3) * 175) << i;
            EXPECT_EQ(frame.height(), 175);
            // Row from the top: the first three at the top of the document.
            EXPECT_EQ(buttons[i]->y(), (i / 3) * 175) << i;
        }
        EXPECT_EQ(more.moreScrollView->verticalScrollBar()->value(), 0);
    }
}

TEST(MoreViewTest, NamesDropTheMakerWord)
{
    struct Row
    {
        const char *name;
        const char *shown;
    };
    for (const Row row :
         {Row{"Fenwyk Crane", "Crane"}, Row{"Fenwyk Kestrel Pro Arcade Stick", "Kestrel Pro Arcade Stick"},
          Row{"Harbour Pad", "Harbour Pad"}}) {
        auto e = test::entry(0x3000, 0x2DC8, 1, row.name);
        EXPECT_EQ(MoreView::displayName(*e), QString::fromUtf8(row.shown));
    }
    ScopedCatalogue catalogue(products(2));
    MoreView more;
    more.resize(800, 560);
    more.show();
    const auto label = more.productButtons().at(1)->findChild<SLabel *>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Model 1"));
    EXPECT_EQ(label->geometry(), QRect(0, 175 - 40 + 10, more.productButtons().at(1)->width(), 40));
}

TEST(MoreViewTest, ClickHandsARecordWithOnlyTheChosenEntry)
{
    ScopedCatalogue catalogue(products(7));
    MoreView more;
    RecordingMoreDelegate delegate;
    more.setDelegate(&delegate);
    more.resize(800, 560);
    more.show();
    QTest::mouseClick(more.productButtons().at(2), Qt::LeftButton);
    // Keyboard: Space and Enter on a focused product.
    more.productButtons().at(4)->setFocus();
    QTest::keyClick(more.productButtons().at(4), Qt::Key_Return);
    ASSERT_EQ(delegate.picked.size(), 2u);
    const SFenwykDevicePtr picked = delegate.picked[0];
    EXPECT_EQ(picked->details(), more.moreSFenwykDatails[2]);
    EXPECT_EQ(picked->pid, 0);
    EXPECT_EQ(picked->version(), 0.0f);
    EXPECT_TRUE(picked->deviceRef.isNull());
    EXPECT_EQ(delegate.view, &more);
    EXPECT_EQ(delegate.picked[1]->details(), more.moreSFenwykDatails[4]);
    // A tag past the list does nothing.
    more.moreClick(7);
    more.moreClick(-1);
    EXPECT_EQ(delegate.picked.size(), 2u);
}

TEST(MoreViewTest, EveryLayoutPassRebuildsTheGridScrolledToTheTop)
{
    ScopedCatalogue catalogue(products(12));
    MoreView more;
    more.resize(800, 560);
    more.show();
    QPointer<QWidget> before = more.moreScrollView->widget();
    more.moreScrollView->verticalScrollBar()->setValue(100);
    more.resize(800, 500);
    EXPECT_TRUE(before.isNull());
    EXPECT_EQ(more.productButtons().size(), 12);
    EXPECT_EQ(more.moreScrollView->verticalScrollBar()->value(), 0);
}

TEST(MoreViewTest, ShippedCatalogueReachesEveryProductInAGridThatScrollsToItsEnd)
{
    const auto &catalogue = SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs();
    for (const QSize size : {QSize(830, 600), QSize(800, 560), QSize(1000, 760)}) {
        SCOPED_TRACE(size.width());
        MoreView more;
        RecordingMoreDelegate delegate;
        more.setDelegate(&delegate);
        more.resize(size);
        more.show();
        const auto buttons = more.productButtons();
        ASSERT_EQ(buttons.size(), more.moreSFenwykDatails.size());
        const int rows = static_cast<int>((buttons.size() + 2) / 3);
        EXPECT_EQ(more.moreScrollView->widget()->height(), rows * 175);
        // The last row can be scrolled fully into view.
        QScrollBar *bar = more.moreScrollView->verticalScrollBar();
        EXPECT_EQ(bar->maximum(), rows * 175 - more.moreScrollView->viewport()->height());
        for (QAbstractButton *button : buttons) {
            const auto *label = button->findChild<SLabel *>();
            ASSERT_NE(label, nullptr);
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), button->width())
                << qPrintable(label->text());
        }
        // Every product's firmware type is one click away.
        for (QAbstractButton *button : buttons)
            QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_EQ(delegate.picked.size(), static_cast<std::size_t>(buttons.size()));
        for (const auto &entry : catalogue) {
            const bool reached = std::any_of(delegate.picked.begin(), delegate.picked.end(),
                                             [&](const auto &d) { return d->details()->type == entry->type; });
            EXPECT_TRUE(reached) << qPrintable(entry->storedName());
        }
    }
}

} // namespace
