#pragma once

#include <QLabel>

namespace flashwell {

// A plain line of text: system font at 16 points, centred, borderless, transparent, black, not
// editable. Its text is also its accessible name.
class SLabel : public QLabel
{
    Q_OBJECT

public:
    explicit SLabel(QWidget *parent = nullptr);

    QString stringValue() const { return text(); }
    void setStringValue(const QString &text);
    void setTextColor(const QColor &color);
    QColor textColor() const;
    // Resizes the label to its text, keeping its top-left corner.
    void sizeToFit();
};

} // namespace flashwell
