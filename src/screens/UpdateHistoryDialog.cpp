#include "screens/UpdateHistoryDialog.h"

#include "platform/Bundle.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace flashwell {

namespace {

QString text(const char *key)
{
    return Bundle::localizedString(key);
}

constexpr const char *kColumns[] = {"historyTime", "historyDevice", "historyIds",     "historyFrom",
                                    "historyTo",   "historyFile",   "historyOutcome", "historyError"};
constexpr const char *kOutcomes[] = {"historySuccess", "historyFailed", "historyCancelled", "historyInterrupted"};

QString hex4(uint16_t v)
{
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0'));
}

} // namespace

UpdateHistoryDialog::UpdateHistoryDialog(UpdateHistory history, QWidget *parent)
    : QDialog(parent)
    , m_history(std::move(history))
    , m_table(new QTableWidget(this))
    , m_notice(new QLabel(this))
{
    setWindowTitle(text("historyTitle"));
    setAccessibleName(text("historyTitle"));
    m_table->setColumnCount(static_cast<int>(std::size(kColumns)));
    QStringList headers;
    for (const char *key : kColumns)
        headers << text(key);
    m_table->setHorizontalHeaderLabels(headers);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setAccessibleName(text("historyTitle"));
    m_notice->setWordWrap(true);
    m_notice->hide();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(text("historyClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(m_notice);
    layout->addWidget(buttons);
    resize(860, 420);
    reload();
}

void UpdateHistoryDialog::reload()
{
    const UpdateHistory::Contents contents = m_history.read();
    m_table->setRowCount(0);
    const qsizetype n = contents.records.size();
    m_table->setRowCount(static_cast<int>(n));
    for (qsizetype i = 0; i < n; ++i) {
        // Newest first.
        const UpdateHistoryRecord &r = contents.records[n - 1 - i];
        const QString cells[] = {
            r.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            r.deviceName,
            hex4(r.vid) + QLatin1Char(':') + hex4(r.pid),
            r.fromVersion,
            r.toVersion,
            r.fileName,
            text(kOutcomes[static_cast<int>(r.outcome)]),
            r.error,
        };
        for (int column = 0; column < static_cast<int>(std::size(cells)); ++column) {
            auto *item = new QTableWidgetItem(cells[column]);
            item->setToolTip(cells[column]);
            m_table->setItem(static_cast<int>(i), column, item);
        }
    }
    m_table->resizeColumnsToContents();

    QString notice;
    if (!contents.error.isEmpty())
        notice = text("historyUnreadable").arg(contents.error);
    else if (contents.missing || contents.records.isEmpty())
        notice = text("cliHistoryEmpty");
    if (contents.skippedLines > 0)
        notice += (notice.isEmpty() ? QString() : QStringLiteral("\n"))
                  + text("cliHistorySkipped").arg(contents.skippedLines);
    m_notice->setText(notice);
    m_notice->setVisible(!notice.isEmpty());
}

} // namespace flashwell
