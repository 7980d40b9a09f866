// Catches: a record not read back as written, a torn or bad line that loses others, a dialog out of order.
#include "update/UpdateHistory.h"
#include "screens/UpdateHistoryDialog.h"

#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace flashwell;

namespace {

UpdateHistoryRecord record(const char *device, UpdateHistoryRecord::Outcome outcome, int minute = 0)
{
    UpdateHistoryRecord r;
    r.time = QDateTime(QDate(2026, 12, 7), QTime(20, minute), Qt::UTC);
    r.deviceName = QString::fromUtf8(device);
    r.vid = 0x2DC8;
    r.pid = 0x3100;
    r.fromVersion = QStringLiteral("1.00");
    r.toVersion = QStringLiteral("1.05 beta 2");
    r.fileName = QStringLiteral("Crane_V1.05.bin");
    r.outcome = outcome;
    r.error = outcome == UpdateHistoryRecord::Outcome::Failed ? QStringLiteral("erase reply missing") : QString();
    return r;
}

class HistoryFile : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    UpdateHistory history{dir.filePath(QStringLiteral("deep/folder/update-history.jsonl"))};

    void appendRaw(const QByteArray &bytes)
    {
        QFile f(history.path());
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(bytes);
    }
};

} // namespace

TEST_F(HistoryFile, RecordsComeBackAsWritten)
{
    EXPECT_TRUE(history.read().missing);
    const UpdateHistoryRecord a = record("Fenwyk Crane", UpdateHistoryRecord::Outcome::Success, 1);
    const UpdateHistoryRecord b = record("烽翼 Crane", UpdateHistoryRecord::Outcome::Failed, 2);
    ASSERT_TRUE(history.append(a));
    ASSERT_TRUE(history.append(b));
    const UpdateHistory::Contents c = history.read();
    ASSERT_EQ(c.records.size(), 2);
    EXPECT_EQ(c.skippedLines, 0);
    EXPECT_EQ(c.records[0].toJson(), a.toJson());
    EXPECT_EQ(c.records[1].toJson(), b.toJson());
    EXPECT_EQ(c.records[1].deviceName, QStringLiteral("烽翼 Crane"));
}

TEST_F(HistoryFile, SurvivesATruncatedLastLine)
{
    ASSERT_TRUE(history.append(record("A", UpdateHistoryRecord::Outcome::Success)));
    // A writer that died in the middle of its line.
    QByteArray torn =
        QJsonDocument(record("B", UpdateHistoryRecord::Outcome::Success).toJson()).toJson(QJsonDocument::Compact);
    appendRaw(torn.left(torn.size() / 2));
    UpdateHistory::Contents c = history.read();
    ASSERT_EQ(c.records.size(), 1);
    EXPECT_EQ(c.skippedLines, 1);

    // The next record starts a line of its own instead of completing the torn one.
    ASSERT_TRUE(history.append(record("C", UpdateHistoryRecord::Outcome::Cancelled)));
    c = history.read();
    ASSERT_EQ(c.records.size(), 2);
    EXPECT_EQ(c.records[1].deviceName, QStringLiteral("C"));
    EXPECT_EQ(c.records[1].outcome, UpdateHistoryRecord::Outcome::Cancelled);
    EXPECT_EQ(c.skippedLines, 1);
}

TEST_F(HistoryFile, LinesThatAreNotRecordsAreSkipped)
{
    ASSERT_TRUE(history.append(record("A", UpdateHistoryRecord::Outcome::Success)));
    QJsonObject good = record("B", UpdateHistoryRecord::Outcome::Success).toJson();
    const auto with = [&](const char *key, const QJsonValue &value) -> QByteArray {
        QJsonObject o = good;
        o.insert(QLatin1String(key), value);
        return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
    };
    appendRaw("\n[1,2]\nnot json\n");
    appendRaw(with("outcome", QStringLiteral("exploded")));
    appendRaw(with("time", QStringLiteral("yesterday")));
    appendRaw(with("vid", QStringLiteral("12345")));
    appendRaw(with("device", 7));
    appendRaw(QJsonDocument(good).toJson(QJsonDocument::Compact) + "\n");
    const UpdateHistory::Contents c = history.read();
    ASSERT_EQ(c.records.size(), 2);
    EXPECT_EQ(c.records[1].deviceName, QStringLiteral("B"));
    EXPECT_EQ(c.skippedLines, 6) << "the empty line is no record, and no fault either";
}

TEST_F(HistoryFile, UnwritablePlaceIsAnErrorNotACrash)
{
    ASSERT_TRUE(QDir().mkpath(history.path())); // a folder where the file should be
    QString error;
    EXPECT_FALSE(history.append(record("A", UpdateHistoryRecord::Outcome::Success), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(history.read().error.isEmpty());
}

TEST(UpdateHistoryPath, FollowsXdgStateHome)
{
    const QByteArray previous = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "/tmp/state-here");
    EXPECT_EQ(UpdateHistory::defaultPath(), QStringLiteral("/tmp/state-here/Fenwyk Flashwell/update-history.jsonl"));
    qputenv("XDG_STATE_HOME", "relative/is/ignored");
    EXPECT_TRUE(
        UpdateHistory::defaultPath().endsWith(QStringLiteral("/.local/state/Fenwyk Flashwell/update-history.jsonl")));
    qputenv("XDG_STATE_HOME", previous);
}

TEST_F(HistoryFile, DialogShowsNewestFirstAndNamesSkippedLines)
{
    ASSERT_TRUE(history.append(record("Fenwyk Crane", UpdateHistoryRecord::Outcome::Success, 1)));
    ASSERT_TRUE(history.append(record("Fenwyk Heron", UpdateHistoryRecord::Outcome::Failed, 2)));
    appendRaw("{\"torn\":");
    UpdateHistoryDialog dialog(history);
    QTableWidget *t = dialog.table();
    ASSERT_EQ(t->rowCount(), 2);
    EXPECT_EQ(t->item(0, 1)->text(), QStringLiteral("Fenwyk Heron"));
    EXPECT_EQ(t->item(0, 2)->text(), QStringLiteral("2dc8:3100"));
    EXPECT_EQ(t->item(0, 7)->text(), QStringLiteral("erase reply missing"));
    EXPECT_EQ(t->item(1, 1)->text(), QStringLiteral("Fenwyk Crane"));
    EXPECT_EQ(t->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(dialog.notice()->isHidden());
    EXPECT_TRUE(dialog.notice()->text().contains(QStringLiteral("1 line(s)"))) << qPrintable(dialog.notice()->text());
}
