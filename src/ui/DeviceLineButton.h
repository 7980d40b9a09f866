#pragma once

#include <QPushButton>

namespace flashwell {

// One attached device's line on the home screen: reads as a line of text, and is a button, so a
// person with several devices can open the one they mean, by pointer, keyboard or screen reader.
class DeviceLineButton : public QPushButton
{
    Q_OBJECT

public:
    explicit DeviceLineButton(const QString &text, QWidget *parent = nullptr);

protected:
    // Enter and Return press the line, as Space does.
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace flashwell
