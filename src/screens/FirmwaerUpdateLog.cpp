#include "screens/FirmwaerUpdateLog.h"

#include "ui/AppKitFrame.h"
#include "ui/SButton.h"
#include "ui/SLoadXIB.h"
#include "ui/SView.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QTextEdit>
#include <QWidget>

namespace flashwell {

FirmwaerUpdateLog::FirmwaerUpdateLog(QString windowNibName)
    : m_windowNibName(std::move(windowNibName))
{}

FirmwaerUpdateLog::~FirmwaerUpdateLog()
{
    delete m_window.data();
}

QWidget *FirmwaerUpdateLog::window()
{
    if (!m_loaded) {
        m_loaded = true;
        m_window = SLoadXIB::loadXibName(m_windowNibName, QStringLiteral("QWidget"), nullptr);
        if (m_window)
            windowDidLoad();
    }
    return m_window;
}

void FirmwaerUpdateLog::windowDidLoad()
{
    m_window->setWindowFlag(Qt::Window);
    m_window->setWindowTitle(qtTrId("releaseNotes"));
    m_window->setAccessibleName(qtTrId("releaseNotes"));
    m_window->setFixedSize(m_window->size());
    m_title = m_window->findChild<QLabel *>(QStringLiteral("title"));
    m_content = m_window->findChild<QTextEdit *>(QStringLiteral("content"));
    if (m_title) {
        // Font sizes are pixels everywhere; an interface file can only say points.
        QFont font = m_title->font();
        font.setPixelSize(14);
        m_title->setFont(font);
    }

    m_okButton = new SButton(m_window);
    m_okButton->setM_title(QStringLiteral("OK"));
    m_okButton->setM_highlightColor(QColor(90, 178, 31));
    m_okButton->setM_backgroundColor(QColor(0, 160, 233));
    m_okButton->setM_titleHighlighColor(Qt::white);
    m_okButton->setDelegate(this);
    m_okButton->setAccessibleDescription(qtTrId("releaseNotesOkHint"));
    AppKitFrame::setFrame(m_okButton, QRectF((m_window->width() - 120) / 2.0, 30, 120, 38));

    QPalette background = m_window->palette();
    background.setColor(QPalette::Window, SView::screenGrey());
    m_window->setPalette(background);
    m_window->setAutoFillBackground(true);

    for (QWidget *field : {static_cast<QWidget *>(m_title.data()), static_cast<QWidget *>(m_content.data())}) {
        if (!field)
            continue;
        QPalette text = field->palette();
        text.setColor(QPalette::WindowText, Qt::black);
        text.setColor(QPalette::Text, Qt::black);
        field->setPalette(text);
    }
    if (m_title)
        m_title->setAccessibleName(qtTrId("releaseNotes"));
    if (m_content) {
        m_content->setReadOnly(true);
        // Long notes scroll with the keyboard too; Tab moves on to OK.
        m_content->setFocusPolicy(Qt::StrongFocus);
        m_content->setAccessibleName(qtTrId("releaseNotes"));
    }
    m_window->setFocusProxy(m_okButton);
    m_window->installEventFilter(this);
}

void FirmwaerUpdateLog::setTitleString(const QString &title)
{
    if (m_title) {
        m_title->setText(title);
        m_title->setAccessibleDescription(title);
    }
    m_titleString = title;
}

void FirmwaerUpdateLog::setContentString(const QString &content)
{
    if (m_content) {
        m_content->setPlainText(content);
        m_content->setAccessibleDescription(content);
    }
    m_contentString = content;
}

void FirmwaerUpdateLog::showCentredOver(const QWidget *mainWindow)
{
    QWidget *w = window();
    if (!w)
        return;
    const auto centre = [&] {
        QRect frame = w->frameGeometry();
        frame.moveCenter(mainWindow->frameGeometry().center());
        w->move(frame.topLeft());
    };
    if (mainWindow)
        centre();
    w->show();
    // The window's frame is known only once it is shown.
    if (mainWindow)
        centre();
    w->raise();
    w->activateWindow();
    m_okButton->setFocus(Qt::ActiveWindowFocusReason);
}

void FirmwaerUpdateLog::SButtonClick(SButton *)
{
    if (m_window)
        m_window->hide();
}

bool FirmwaerUpdateLog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            m_window->hide();
            return true;
        }
        // Hidden (by OK, Escape or the window's close button): nobody can show it again, so let it go.
        if (event->type() == QEvent::Hide && !m_window->isVisible())
            deleteLater();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace flashwell
