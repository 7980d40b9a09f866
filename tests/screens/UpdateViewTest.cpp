// Catches: an update screen not showing its controller's state, rows misplaced, presses lost, windows off centre.
#include "screens/UpdateView.h"
#include "models/VirtualDeviceModel.h"
#include "platform/Bundle.h"
#include "screens/DeviceManualView.h"
#include "ui/AppKitFrame.h"
#include "ui/SButton.h"
#include "ui/SLabel.h"
#include "ui/SMiniImageView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

#include "support/UpdateScreenRig.h"
#include "support/WidgetProbe.h"
#include "support/WidgetTestSupport.h"

using namespace flashwell;
using flashwell::test::FakeCatalogue;
using flashwell::test::release;
using flashwell::test::ScopedLanguages;
using flashwell::test::ScopedTranslations;
using State = UpdateSessionController;

namespace {

QString tr(const char *key)
{
    return Bundle::localizedString(key);
}

class UpdateViewTest : public ::testing::Test, protected test::UpdateScreenRig
{
protected:
    // The test main installs no translations: without these the screenshots show the keys.
    UpdateViewTest()
        : english(QStringLiteral("en"))
    {
        view.resize(900, 600);
        view.setTerminateHandler([this](int status) { terminated = status; });
    }

    SFenwykDevicePtr device(uint16_t pid, float version, bool switchable = true)
    {
        return plugDevice(pid, 0x2DC8, version, switchable);
    }
    // The root's showing: device, picture mode, state 0, shown; then the server's answer.
    void show(const SFenwykDevicePtr &d, const QList<Firmware> &list, int32_t chosenByHand = 0)
    {
        controller.setDevice(d);
        controller.setminiImageposition(chosenByHand);
        controller.setState(State::kStateReady);
        view.show();
        QCoreApplication::processEvents();
        server.answer(list);
    }
    // The bottom-up frame of `widget` inside `ancestor`.
    static QRectF frameIn(const QWidget *widget, const QWidget *ancestor)
    {
        const QPoint topLeft = widget->mapTo(ancestor, QPoint(0, 0));
        return AppKitFrame::fromQt(QRectF(topLeft, widget->size()), ancestor->height());
    }
    void screenshot(const char *name) { test::screenshot(view, QString::fromLatin1(name)); }

    ScopedTranslations english;
    UpdateView view{controller};
    std::optional<int> terminated;
};

QList<Firmware> releases(int n)
{
    QList<Firmware> list;
    for (int i = 0; i < n; ++i)
        list.append(release(1.0f + 0.01f * static_cast<float>(i), 0, 12, "Heron_V1.bin"));
    return list;
}

} // namespace

TEST_F(UpdateViewTest, EachStateShowsItsControls)
{
    // A type-2 product: its guide has a picture and three lines.
    show(device(0x3020, 1.0f), {release(1.05f, 2, 2), release(1.04f, 0, 2)});
    EXPECT_TRUE(view.miniImageView()->isVisible());
    EXPECT_TRUE(view.firmwaerListVist()->isVisible());
    EXPECT_TRUE(view.firmwaerHintLabel()->isVisible());
    EXPECT_TRUE(view.updateButton()->isVisible());
    EXPECT_FALSE(view.leftButton()->isVisible());
    EXPECT_FALSE(view.rightButton()->isVisible());
    EXPECT_FALSE(view.findNewVersionListView()->isVisible());
    EXPECT_FALSE(view.hintLabel()->isVisible());
    EXPECT_FALSE(view.progress()->isVisible());
    EXPECT_EQ(view.updateButton()->m_title(), QStringLiteral("Update"));
    EXPECT_EQ(view.updateButton()->m_backgroundColor(), QColor(0, 160, 233));
    EXPECT_EQ(view.updateButton()->m_highlightColor(), QColor(255, 52, 90));
    EXPECT_EQ(view.firmwaerHintLabel()->text(), QStringLiteral("Firmware 1.00 to v1.05 beta 2 "));
    screenshot("state0_en");

    controller.setState(State::kStateOffer);
    controller.setNewFirmwaer(release(1.07f));
    EXPECT_FALSE(view.updateButton()->isVisible());
    EXPECT_TRUE(view.leftButton()->isVisible());
    EXPECT_TRUE(view.rightButton()->isVisible());
    EXPECT_TRUE(view.findNewVersionListView()->isVisible());
    EXPECT_FALSE(view.firmwaerListVist()->isVisible());
    EXPECT_EQ(view.findNewVersionLabel()->text(), QStringLiteral("New version v1.07"));
    EXPECT_EQ(view.findNewVersionLogTextView()->toPlainText(), QStringLiteral("Notes"));
    EXPECT_EQ(view.leftButton()->m_title(), QStringLiteral("Others"));
    // Left at width/2 - its width - 15, right at width/2 + 15.
    EXPECT_EQ(frameIn(view.leftButton(), &view).x(), 450 - 100 - 15);
    EXPECT_EQ(frameIn(view.rightButton(), &view).x(), 450 + 15);
    screenshot("state1_en");

    // From the list: update pressed, the download under way, then writing.
    controller.setState(State::kStateReady);
    server.downloadMode = FakeCatalogue::Download::Wait;
    QTest::mouseClick(view.updateButton(), Qt::LeftButton);
    EXPECT_EQ(view.updateButton()->m_title(), tr("prepareUpdate"));
    controller.SHIDBootStartUpdate(nullptr);
    controller.SHIDBootStartUpdateing(40, nullptr);
    EXPECT_EQ(view.updateButton()->m_backgroundColor(), QColor(255, 52, 90));
    EXPECT_EQ(view.updateButton()->m_progress(), 40.0f);
    EXPECT_EQ(view.updateButton()->m_title(), QString());
    EXPECT_EQ(view.firmwaerHintLabel()->text(), QStringLiteral("Updating "));
    EXPECT_TRUE(view.updateButton()->isVisible());
    screenshot("state5_en");

    controller.SHIDBootStartUpdateing(100, nullptr);
    controller.SHIDBootStartUpdateed(nullptr);
    EXPECT_EQ(view.updateButton()->m_title(), tr("success"));
    EXPECT_EQ(view.updateButton()->m_backgroundColor(), QColor(90, 178, 31));
    EXPECT_FALSE(view.leftButton()->isVisible());
    EXPECT_FALSE(view.rightButton()->isVisible());
    EXPECT_EQ(view.leftButton()->m_title(), QStringLiteral("Close"));
    EXPECT_EQ(view.rightButton()->m_title(), QStringLiteral("Next"));
    const QRectF update = frameIn(view.updateButton(), &view);
    EXPECT_EQ(frameIn(view.leftButton(), &view).right(), update.left() - 35);
    EXPECT_EQ(frameIn(view.rightButton(), &view).left(), update.right() + 35);
    EXPECT_TRUE(view.firmwaerHintLabel()->text().startsWith(QStringLiteral("Updated ")));
    screenshot("state6_en");

    // Another attempt that stalls while writing: the error guide, over the whole screen.
    controller.setState(State::kStateReady);
    QTest::mouseClick(view.updateButton(), Qt::LeftButton);
    controller.SHIDBootStartUpdate(nullptr);
    controller.updateingError();
    EXPECT_EQ(view.updateButton()->m_progress(), 0.0f);
    ASSERT_NE(view.manualView(), nullptr);
    EXPECT_TRUE(view.manualView()->isVisible());
    EXPECT_TRUE(view.manualView()->error());
    EXPECT_EQ(view.manualView()->geometry(), view.rect());
    screenshot("state7_en");
}

TEST_F(UpdateViewTest, ChineseTextsFit)
{
    ScopedTranslations chinese(QStringLiteral("zh_CN"));
    ScopedLanguages languages({QStringLiteral("zh-Hans-CN")});
    show(device(0x3020, 1.01f), {release(1.05f, 0, 2), release(1.04f, 3, 2), release(1.03f, 0, 2)});
    EXPECT_EQ(view.firmwaerHintLabel()->text(), QStringLiteral("固件 1.01 至 v1.05"));
    EXPECT_LE(view.firmwaerHintLabel()->sizeHint().width(), 350);
    screenshot("state0_zh");
    controller.setState(State::kStateOffer);
    controller.setNewFirmwaer(release(1.07f, 1));
    EXPECT_EQ(view.findNewVersionLogTextView()->toPlainText(), QStringLiteral("说明"));
    screenshot("state1_zh");
    controller.updateingError();
    screenshot("state7_zh");
    for (SButton *b : {view.leftButton(), view.rightButton(), view.updateButton()})
        EXPECT_LE(b->fontMetrics().horizontalAdvance(b->m_title()), b->width()) << b->m_title().toStdString();
}

TEST_F(UpdateViewTest, PressesReachTheController)
{
    server.downloadMode = FakeCatalogue::Download::Wait;
    show(device(0x3011, 1.0f), {release(1.05f)});
    QTest::mouseClick(view.updateButton(), Qt::LeftButton);
    EXPECT_EQ(server.downloads.size(), 1u);

    // Finished: the left button (Close) ends the program through the view's handler.
    controller.setState(State::kStateFinished);
    view.leftButton()->show();
    QTest::mouseClick(view.leftButton(), Qt::LeftButton);
    EXPECT_EQ(terminated, 0);
    // Keyboard: the update button takes focus and answers Space.
    controller.setState(State::kStateReady);
    view.updateButton()->setFocus();
    QTest::keyClick(view.updateButton(), Qt::Key_Space);
    EXPECT_EQ(server.downloads.size(), 2u);
}

TEST_F(UpdateViewTest, RowsFollowTheListTable)
{
    show(device(0x3011, 1.02f), {release(1.00f), release(1.02f, 1), release(1.02f), release(1.01f)});
    const auto &rows = view.rows();
    ASSERT_EQ(rows.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(rows[i].name->text(), controller.model().rows[i].name) << i;
    ASSERT_NE(rows[0].newMark, nullptr);
    EXPECT_EQ(rows[1].newMark, nullptr);
    EXPECT_EQ(view.scrollView()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    // Tab walks every row from the top: box, notes, next box.
    QList<QWidget *> expected;
    for (const auto &row : rows)
        expected << row.checkbox << row.notes;
    QList<QWidget *> walked;
    for (QWidget *w = rows[0].checkbox; w && walked.size() < expected.size(); w = w->nextInFocusChain())
        if (expected.contains(w) && !walked.contains(w))
            walked << w;
    EXPECT_EQ(walked, expected);

    // Geometry: rows of 738 x 40 hanging from the top, elements where the table puts them
    // (bottom-up frames: y + height is the top edge).
    QWidget *document = view.scrollView()->widget();
    ASSERT_EQ(document->height(), 278);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(frameIn(rows[i].row, document), QRectF(0, 278 - 40 * (i + 1), 738, 40)) << i;
    EXPECT_EQ(frameIn(rows[0].checkbox, rows[0].row), QRectF(738 - 50, 10, 20, 20));
    EXPECT_EQ(frameIn(rows[0].name, rows[0].row).x(), 35);
    EXPECT_EQ(frameIn(rows[0].name, rows[0].row).bottom(), 30) << "10 points below the row's top";
    EXPECT_EQ(frameIn(rows[0].notes, rows[0].row).right(), 738 - 50 - 10);
    EXPECT_EQ(frameIn(rows[0].separator, rows[0].row), QRectF(35, 0, 738 - 60, 1));
    EXPECT_EQ(frameIn(view.firmwaerListVist(), &view), QRectF(81, 161, 738, 278));
    EXPECT_EQ(test::pointSizedFonts(view), QStringList());

    // A click on a box reaches the controller, whose single tick the boxes show.
    QTest::mouseClick(rows[2].checkbox, Qt::LeftButton);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(rows[i].checkbox->isChecked(), i == 2) << i;
    EXPECT_EQ(controller.targerVersion(), 1.01f);
}

TEST_F(UpdateViewTest, SevenRowsGetTheScrollerAndOpenAtTheTopAnEmptyListSaysSo)
{
    show(device(0x3011, 1.0f), releases(6));
    EXPECT_EQ(view.scrollView()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    server.answer(releases(7)); // a second answer replaces the rows
    server.answer(releases(9));
    EXPECT_EQ(view.scrollView()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(view.scrollView()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(view.scrollView()->widget()->height(), 9 * 40 - 2);
    EXPECT_EQ(view.rows().size(), 9);
    EXPECT_FALSE(view.notFirmware()->isVisible());
    screenshot("state0_scroller");

    server.answer({});
    EXPECT_TRUE(view.notFirmware()->isVisible());
    EXPECT_TRUE(view.rows().isEmpty());
    EXPECT_EQ(frameIn(view.notFirmware(), &view).bottom(), 600 - 180) << "its top edge, 180 below the screen's";
    EXPECT_EQ(frameIn(view.notFirmware(), &view).width(), 900);
}

TEST_F(UpdateViewTest, AlertsAreWindowModalAndOpen)
{
    show(device(0x3011, 1.0f), {release(1.05f)});
    controller.SHIDBootErrorString(nullptr, QStringLiteral("erase reply for 0x08014000 missing"));
    QMessageBox *box = view.alert();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible()) << "opened, not run";
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->text(), QStringLiteral("erase reply for 0x08014000 missing"));
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->buttons().first()->text(), tr("sure"));
    EXPECT_TRUE(view.firmwaerListVist()->isVisible());
    box->buttons().first()->click();
}

TEST_F(UpdateViewTest, ReceiverPictureSitsBesideTheDevicesAndSwitchesTheList)
{
    show(device(0x2000, 1.0f), {release(1.0f, 0, 48)}, 1);
    EXPECT_TRUE(view.miniRRImageView()->isVisible());
    EXPECT_EQ(view.miniRRImageView()->image().name(), QStringLiteral("receiver_48"));
    EXPECT_EQ(frameIn(view.miniImageView(), &view).x(), 450 - 55 - 60);
    EXPECT_EQ(frameIn(view.miniRRImageView(), &view).x(), 450 - 55 - 60 + 115);
    QTest::mouseClick(view.miniRRImageView(), Qt::LeftButton);
    EXPECT_EQ(server.lists.back().type, 49);
    EXPECT_TRUE(view.miniRRImageView()->isSelect());
    QTest::mouseClick(view.miniImageView(), Qt::LeftButton);
    EXPECT_FALSE(view.miniRRImageView()->isSelect());
}

TEST_F(UpdateViewTest, TheGuideComesAndGoesWithTheController)
{
    show(device(0x3020, 1.0f, false), {release(1.05f, 0, 2)});
    controller.noV1AndV2();
    ASSERT_NE(view.manualView(), nullptr);
    EXPECT_TRUE(view.manualView()->isVisible());
    EXPECT_FALSE(view.manualView()->error());
    controller.setState(State::kStateReady);
    QTest::mouseClick(view.updateButton(), Qt::LeftButton);
    EXPECT_TRUE(view.manualView()->isVisible());
    // The bootloader's arrival takes the guide away.
    plugSilent(0x3208);
    EXPECT_FALSE(view.manualView()->isVisible());
}

TEST_F(UpdateViewTest, LeavingHidesTheScreenAndTheNextShowingDrawsItsOwnList)
{
    auto d = device(0x3011, 1.0f);
    show(d, {release(1.05f)});
    view.removeFromSuperview();
    EXPECT_FALSE(view.isVisible());
    show(d, {release(1.06f)});
    ASSERT_EQ(view.rows().size(), 1);
    EXPECT_EQ(view.rows()[0].name->text(), QStringLiteral("2026-11-30  Heron V1.06"));
}

TEST_F(UpdateViewTest, NotesButtonOpensTheReleaseNotesCentred)
{
    Firmware notes = release(1.05f);
    notes.readme_en = QStringLiteral("Fixes the triggers\nx\n\nFaster pairing");
    show(device(0x3011, 1.0f), {notes});
    const QWidgetList before = QApplication::topLevelWidgets();
    QTest::mouseClick(view.rows()[0].notes, Qt::LeftButton);
    QWidget *window = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (!before.contains(w) && w->isVisible())
            window = w;
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->frameGeometry().center(), view.window()->frameGeometry().center());
    const QList<QLabel *> labels = window->findChildren<QLabel *>();
    const bool titled = std::any_of(labels.begin(), labels.end(),
                                    [](QLabel *l) { return l->text() == QStringLiteral("2026-11-30  Heron V1.05"); });
    EXPECT_TRUE(titled);
    const QList<QTextEdit *> texts = window->findChildren<QTextEdit *>();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_EQ(texts[0]->toPlainText(), QStringLiteral("Fixes the triggers\n\nFaster pairing\n\n"));
    window->hide();
}

TEST_F(UpdateViewTest, TwoViewsOfOneController)
{
    show(device(0x3011, 1.0f), {release(1.05f), release(1.04f)});
    std::optional<int> handled;
    {
        UpdateView second(controller);
        second.resize(900, 600);
        ASSERT_EQ(second.rows().size(), 2) << "the rows the controller already has";
        EXPECT_TRUE(second.rows()[0].checkbox->isChecked());
        controller.chengeboxClick(1);
        EXPECT_TRUE(second.rows()[1].checkbox->isChecked());
        second.setTerminateHandler([&](int status) { handled = status; });
        controller.setState(State::kStateFinished);
        controller.SButtonClick(State::Button::Left);
    }
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(terminated, 0) << "the first view is told too";
    controller.chengeboxClick(0); // the controller outlives the second view
    EXPECT_TRUE(view.rows()[0].checkbox->isChecked());
}
