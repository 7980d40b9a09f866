#pragma once

#include "ui/SButton.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTextEdit>

namespace flashwell {

// The release-notes window of one firmware release: a title line, the notes and an OK button
// that hides the window. The window comes from the interface file "FirmwaerUpdateLog".
//
// Nobody needs to keep a reference: once its window has been hidden the controller releases
// itself and its window (on the next turn of the event loop), so opening notes again and again
// does not pile up windows. Several may be open at once. One that is never shown belongs to
// whoever created it.
class FirmwaerUpdateLog : public QObject, public SButtonDelegate
{
    Q_OBJECT

public:
    // initWithWindowNibName:
    explicit FirmwaerUpdateLog(QString windowNibName = QStringLiteral("FirmwaerUpdateLog"));
    ~FirmwaerUpdateLog() override;

    // Loads the window on first use (running windowDidLoad); null when the interface file is
    // missing or malformed.
    QWidget *window();

    const QString &titleString() const { return m_titleString; }
    void setTitleString(const QString &title);
    const QString &contentString() const { return m_contentString; }
    void setContentString(const QString &content);

    // Centres the window over `mainWindow` (when given) and shows it.
    void showCentredOver(const QWidget *mainWindow);

    QLabel *title() const { return m_title; }
    QTextEdit *content() const { return m_content; }
    SButton *okButton() const { return m_okButton; }

    // The OK button: hides the window; the controller and its texts remain until released.
    void SButtonClick(SButton *button) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void windowDidLoad();

    QString m_windowNibName;
    bool m_loaded = false;
    QPointer<QWidget> m_window;
    QPointer<QLabel> m_title;
    QPointer<QTextEdit> m_content;
    QPointer<SButton> m_okButton;
    QString m_titleString;
    QString m_contentString;
};

} // namespace flashwell
