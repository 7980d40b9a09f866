#pragma once

#include <QColor>
#include <QWidget>

namespace flashwell {

// The base view of every screen: painted in the screen grey.
class SView : public QWidget
{
    Q_OBJECT

public:
    explicit SView(QWidget *parent = nullptr);

    static QColor screenGrey() { return {236, 236, 236}; }

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace flashwell
