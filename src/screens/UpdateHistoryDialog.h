#pragma once

#include "update/UpdateHistory.h"

#include <QDialog>

class QLabel;
class QTableWidget;

namespace flashwell {

// "Update history…": the records of the history file in a read-only table, newest first.
class UpdateHistoryDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit UpdateHistoryDialog(UpdateHistory history = UpdateHistory(), QWidget *parent = nullptr);

    // Reads the file again.
    void reload();

    QTableWidget *table() const { return m_table; }
    // Empty when every line was read; otherwise says what could not be.
    QLabel *notice() const { return m_notice; }

private:
    UpdateHistory m_history;
    QTableWidget *m_table;
    QLabel *m_notice;
};

} // namespace flashwell
