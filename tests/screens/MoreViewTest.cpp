// Catches: a chooser grid misplaced or not rebuilt, names with the maker's word, a press giving the wrong entry.
#include "screens/MoreView.h"
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

// The chooser shown over a catalogue of `n` test products (or the shipped one when n < 0).
struct Chooser
{
    explicit Chooser(int n, QSize size = {800, 560})
        : catalogue(n < 0 ? SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs() : products(n))
    {
        more.setDelegate(&delegate);
        more.resize(size);
        more.show();
    }
    ScopedCatalogue catalogue;
    MoreView more;
    RecordingMoreDelegate delegate;
};

TEST(MoreViewTest, HeadingRuleAndScrollAreaFrames)
{
    Chooser chooser(3);
    const MoreView &more = chooser.more;
    const QRectF title = AppKitFrame::frame(more.title);
    EXPECT_EQ(title.x(), 18);
    EXPECT_EQ(title.width(), 800 - 36);
    EXPECT_EQ(title.y(), 560 - more.title->height() - 18);
    EXPECT_EQ(more.title->text(), Bundle::localizedString("chooseProduct"));
    const QRectF line = AppKitFrame::frame(more.line);
    EXPECT_EQ(line.y(), title.y() - 4);
    EXPECT_EQ(line.height(), 1);
    EXPECT_EQ(AppKitFrame::frame(more.moreScrollView), QRectF(18, 18, 800 - 36, line.y() - 36));
    EXPECT_EQ(more.m_widht, 800);
    EXPECT_EQ(more.m_height, 560);
}

TEST(MoreViewTest, GridOfThreeAcrossRebuiltAtTheTopOnEveryLayout)
{
    const struct
    {
        int products;
        int rows;
    } rows[] = {{7, 3}, {6, 2}, {1, 1}, {0, 0}, {12, 4}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.products);
        Chooser chooser(row.products);
        MoreView &more = chooser.more;
        ASSERT_EQ(more.moreSFenwykDatails.size(), row.products);
        // Every layout pass builds the grid afresh, scrolled to the top.
        more.moreScrollView->verticalScrollBar()->setValue(100);
        QPointer<QWidget> before = more.moreScrollView->widget();
        more.resize(800, 500);
        EXPECT_TRUE(before.isNull());
        more.resize(800, 560);
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
    const struct
    {
        const char *name;
        const char *shown;
    } rows[] = {{"Fenwyk Crane", "Crane"},
                {"Fenwyk Kestrel Pro Arcade Stick", "Kestrel Pro Arcade Stick"},
                {"Harbour Pad", "Harbour Pad"}};
    for (const auto &row : rows)
        EXPECT_EQ(MoreView::displayName(*test::entry(0x3000, 0x2DC8, 1, row.name)), QString::fromUtf8(row.shown));
    Chooser chooser(2);
    const QAbstractButton *second = chooser.more.productButtons().at(1);
    const auto label = second->findChild<SLabel *>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Model 1"));
    EXPECT_EQ(label->geometry(), QRect(0, 175 - 40 + 10, second->width(), 40));
}

TEST(MoreViewTest, PressHandsARecordWithOnlyTheChosenEntry)
{
    Chooser chooser(7);
    MoreView &more = chooser.more;
    const auto &picked = chooser.delegate.picked;
    QTest::mouseClick(more.productButtons().at(2), Qt::LeftButton);
    // Keyboard: Return and Space on a focused product.
    more.productButtons().at(4)->setFocus();
    QTest::keyClick(more.productButtons().at(4), Qt::Key_Return);
    more.productButtons().at(5)->setFocus();
    QTest::keyClick(more.productButtons().at(5), Qt::Key_Space);
    ASSERT_EQ(picked.size(), 3u);
    EXPECT_EQ(picked[0]->details(), more.moreSFenwykDatails[2]);
    EXPECT_EQ(picked[0]->pid, 0);
    EXPECT_EQ(picked[0]->version(), 0.0f);
    EXPECT_TRUE(picked[0]->deviceRef.isNull());
    EXPECT_EQ(chooser.delegate.view, &more);
    EXPECT_EQ(picked[1]->details(), more.moreSFenwykDatails[4]);
    EXPECT_EQ(picked[2]->details(), more.moreSFenwykDatails[5]);
    // A tag past the list does nothing.
    more.moreClick(7);
    more.moreClick(-1);
    EXPECT_EQ(picked.size(), 3u);
}

TEST(MoreViewTest, ShippedCatalogueReachesEveryProductInAGridThatScrollsToItsEnd)
{
    for (const QSize size : {QSize(830, 600), QSize(800, 560), QSize(1000, 760)}) {
        SCOPED_TRACE(size.width());
        Chooser chooser(-1, size);
        MoreView &more = chooser.more;
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
        const auto &picked = chooser.delegate.picked;
        ASSERT_EQ(picked.size(), static_cast<std::size_t>(buttons.size()));
        for (const auto &entry : SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs()) {
            const bool reached = std::any_of(picked.begin(), picked.end(),
                                             [&](const auto &d) { return d->details()->type == entry->type; });
            EXPECT_TRUE(reached) << qPrintable(entry->storedName());
        }
    }
}

} // namespace
