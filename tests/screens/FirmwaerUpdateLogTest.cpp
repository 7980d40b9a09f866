// Catches: a release-notes window misdrawn, not hidden by OK, Space, Return or Escape, leaked, or off centre.
#include "screens/FirmwaerUpdateLog.h"
#include "ui/AppKitFrame.h"
#include "ui/SButton.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

#include "support/WidgetTestSupport.h"

#include <functional>

using namespace flashwell;

namespace {

// As the release list does it: a new controller per press, no reference kept.
FirmwaerUpdateLog *openNotes(const QWidget *mainWindow, const QString &title, const QString &content)
{
    auto *log = new FirmwaerUpdateLog();
    EXPECT_NE(log->window(), nullptr);
    log->setTitleString(title);
    log->setContentString(content);
    log->showCentredOver(mainWindow);
    return log;
}

void releaseHidden()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

TEST(FirmwaerUpdateLog, WindowComesFromItsInterfaceFileWithTheOkButton)
{
    FirmwaerUpdateLog log;
    QWidget *window = log.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(log.window(), window); // loaded once
    ASSERT_NE(log.title(), nullptr);
    ASSERT_NE(log.content(), nullptr);
    SButton *ok = log.okButton();
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->m_title(), QStringLiteral("OK"));
    EXPECT_EQ(ok->m_highlightColor(), QColor(90, 178, 31));
    EXPECT_EQ(ok->m_backgroundColor(), QColor(0, 160, 233));
    EXPECT_EQ(ok->m_tmpbg(), QColor(0, 160, 233));
    EXPECT_EQ(ok->m_titleHighlighColor(), QColor(Qt::white));
    EXPECT_EQ(ok->delegate(), &log);
    EXPECT_EQ(AppKitFrame::frame(ok), QRectF((window->width() - 120) / 2, 30, 120, 38));
    EXPECT_EQ(log.title()->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(log.content()->palette().color(QPalette::Text), QColor(Qt::black));
    // Room for the button: the fields end above its top edge.
    EXPECT_LE(log.content()->geometry().bottom(), ok->geometry().top());
    const QImage image = test::render(*window);
    EXPECT_EQ(QColor::fromRgb(image.pixel(2, window->height() - 2)), QColor(236, 236, 236));
    EXPECT_FALSE(window->accessibleName().isEmpty());
    EXPECT_EQ(test::pointSizedFonts(*window), QStringList());
}

TEST(FirmwaerUpdateLog, OkOnlyHidesAndKeepsTheTexts)
{
    const struct
    {
        const char *what;
        std::function<void(FirmwaerUpdateLog &)> press;
    } rows[] = {
        {"mouse", [](FirmwaerUpdateLog &l) { QTest::mouseClick(l.okButton(), Qt::LeftButton); }},
        {"space", [](FirmwaerUpdateLog &l) { QTest::keyClick(l.okButton(), Qt::Key_Space); }},
        {"return", [](FirmwaerUpdateLog &l) { QTest::keyClick(l.okButton(), Qt::Key_Return); }},
        {"escape", [](FirmwaerUpdateLog &l) { QTest::keyClick(l.window(), Qt::Key_Escape); }},
    };
    const qsizetype windows = QApplication::topLevelWidgets().size();
    for (const auto &row : rows) {
        QPointer<FirmwaerUpdateLog> log =
            openNotes(nullptr, QStringLiteral("V5.02"), QStringLiteral("1. Better range\n2. Fixed pairing"));
        QPointer<QWidget> window = log->window();
        ASSERT_TRUE(window->isVisible());
        EXPECT_TRUE(log->okButton()->hasFocus() || QApplication::focusWidget() == nullptr) << row.what;
        row.press(*log);
        ASSERT_FALSE(log.isNull()) << row.what; // released only on the next turn
        EXPECT_FALSE(window->isVisible()) << row.what;
        EXPECT_EQ(log->titleString(), QStringLiteral("V5.02"));
        EXPECT_EQ(log->contentString(), QStringLiteral("1. Better range\n2. Fixed pairing"));
        EXPECT_EQ(log->title()->text(), QStringLiteral("V5.02"));
        EXPECT_EQ(log->content()->toPlainText(), QStringLiteral("1. Better range\n2. Fixed pairing"));
        releaseHidden();
        EXPECT_TRUE(log.isNull()) << row.what;
        EXPECT_TRUE(window.isNull()) << row.what;
        EXPECT_EQ(QApplication::topLevelWidgets().size(), windows) << row.what;
    }
}

TEST(FirmwaerUpdateLog, TwoWindowsOpenAtOnceEachCentredOverTheMainWindow)
{
    QWidget mainWindow;
    mainWindow.setGeometry(100, 80, 830, 600);
    mainWindow.show();
    QPointer<FirmwaerUpdateLog> first = openNotes(&mainWindow, QStringLiteral("V5.02"), QStringLiteral("a"));
    QPointer<FirmwaerUpdateLog> second = openNotes(&mainWindow, QStringLiteral("V5.01"), QStringLiteral("b"));
    ASSERT_NE(first->window(), second->window());
    for (FirmwaerUpdateLog *log : {first.data(), second.data()}) {
        EXPECT_TRUE(log->window()->isVisible());
        EXPECT_EQ(log->window()->frameGeometry().center(), mainWindow.frameGeometry().center());
    }
    EXPECT_EQ(first->titleString(), QStringLiteral("V5.02"));
    EXPECT_EQ(second->titleString(), QStringLiteral("V5.01"));
    // Closing one leaves the other.
    QTest::mouseClick(first->okButton(), Qt::LeftButton);
    releaseHidden();
    EXPECT_TRUE(first.isNull());
    ASSERT_FALSE(second.isNull());
    EXPECT_TRUE(second->window()->isVisible());
    delete second.data();
}

TEST(FirmwaerUpdateLog, MissingInterfaceFileGivesNoWindowAndOneWarning)
{
    test::WarningCounter warnings;
    FirmwaerUpdateLog log(QStringLiteral("NoSuchWindow"));
    EXPECT_EQ(log.window(), nullptr);
    EXPECT_EQ(log.window(), nullptr);
    log.setTitleString(QStringLiteral("kept"));
    log.showCentredOver(nullptr);
    EXPECT_EQ(log.titleString(), QStringLiteral("kept"));
    EXPECT_EQ(warnings.count(), 1);
}
