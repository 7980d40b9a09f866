// Catches: a record item out of place, a recording begun before a file is chosen, a failure to begin not shown.
#include "app/Application.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace flashwell;

namespace {

struct Start
{
    const char *name;
    QString error; // what starting the recording gives
};

void PrintTo(const Start &s, std::ostream *os)
{
    *os << s.name;
}

class RecordMenuTest : public ::testing::TestWithParam<Start>
{
};

} // namespace

TEST_P(RecordMenuTest, AsksWhereToSaveThenStartsTheRecording)
{
    QMainWindow window;
    auto *menu = window.menuBar()->addMenu(QStringLiteral("Flashwell"));
    auto *history = menu->addAction(QStringLiteral("History"));
    history->setObjectName(QStringLiteral("actionHistory"));
    QStringList started;
    Application::addRecordMenuItem(window, [&](const QString &path) {
        started << path;
        return GetParam().error;
    });
    auto *record = window.findChild<QAction *>(QStringLiteral("actionRecord"));
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions().first(), record) << "just before the history";
    EXPECT_FALSE(record->text().isEmpty());

    window.show();
    record->trigger();
    auto *dialog = window.findChild<QFileDialog *>(QStringLiteral("recordDialog"));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(started.isEmpty()) << "nothing starts before a file is chosen";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("update.jsonl"));
    dialog->selectFile(path);
    static_cast<QDialog *>(dialog)->accept(); // QFileDialog makes its override protected
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(QDir::cleanPath(started.first()), QDir::cleanPath(path));

    QMessageBox *box = nullptr;
    for (QMessageBox *b : window.findChildren<QMessageBox *>())
        if (b->isVisible())
            box = b;
    if (GetParam().error.isEmpty()) {
        EXPECT_EQ(box, nullptr);
    } else {
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(box->text().isEmpty());
        EXPECT_EQ(box->informativeText(), GetParam().error) << "the reason, as the writer gave it";
        box->close();
    }
}

INSTANTIATE_TEST_SUITE_P(Outcomes, RecordMenuTest,
                         ::testing::Values(Start{"begins", {}}, Start{"cannot write", QStringLiteral("disk full")}),
                         [](const ::testing::TestParamInfo<Start> &p) {
                             return std::string(p.param.error.isEmpty() ? "Begins" : "CannotWrite");
                         });
