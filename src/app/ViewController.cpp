#include "app/ViewController.h"

#include "app/SMainMenu.h"
#include "app/SleepInhibitor.h"
#include "platform/Bundle.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "screens/MoreView.h"
#include "screens/UpdateView.h"
#include "ui/AppKitFrame.h"
#include "ui/SBackButton.h"
#include "ui/SLoadXIB.h"
#include "ui/SView.h"
#include "update/UpdateHost.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>

namespace flashwell {

namespace {
constexpr QLatin1StringView kBetaKey("UserDefaults_isBeta");
constexpr QLatin1StringView kUpdateViewBack("updateViewBack");

QString localized(const char *key)
{
    return Bundle::localizedString(key);
}
} // namespace

ViewController::ViewController(Services services, QWidget *parent)
    : QWidget(parent)
    , m_services(std::move(services))
{
    setObjectName(QStringLiteral("ViewController"));
}

ViewController::~ViewController()
{
    // The screens go before the watchers and the controller that might still report to them.
    if (m_host)
        m_host->setDeviceDelegate(nullptr);
    NotificationCenter::defaultCenter().removeObserver(this);
    delete m_updateView;
    m_updateView = nullptr;
    m_host.reset();
}

void ViewController::viewDidLoad()
{
    m_views.clear();
    m_widht = width();
    m_height = height();

    host().setDeviceDelegate(this);

    m_backButton = new SBackButton(this);
    m_backButton->setObjectName(QStringLiteral("backButton"));
    m_backButton->setAccessibleName(localized("back"));
    m_backButton->setToolTip(localized("back"));
    m_backButton->resize(30, 30);
    AppKitFrame::setFrame(m_backButton, QRectF(15, m_height - m_backButton->height() - 10, 30, 30));
    connect(m_backButton, &QAbstractButton::clicked, this, &ViewController::back);

    initView();
    addCheckUpdat();
    addMoreAction();
    addBetaAction();

    NotificationCenter::defaultCenter().addObserver(this, kUpdateViewBack, [this] { back(); });
    m_window = window() != this ? window() : nullptr;
    if (m_window)
        m_window->installEventFilter(this);
}

void ViewController::initView()
{
    HomeView::registerClass();
    auto *home = qobject_cast<HomeView *>(SLoadXIB::loadXibName(QStringLiteral("HomeView"), this));
    // Without its interface file the screen still works, with no controls to show.
    m_homeView = home ? home : new HomeView(this);
    m_homeView->setParent(this);
    m_homeView->setGeometry(0, 0, static_cast<int>(m_widht), static_cast<int>(m_height));
    m_homeView->awakeFromNib(*m_services.platform.scheduler, m_services.home);
    if (m_services.platform.hid)
        m_homeView->showOpenFailures(*m_services.platform.hid);
    m_homeView->setDelegate(this);
    S_AddView(m_homeView);
}

void ViewController::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), SView::screenGrey());
}

// --- screen stack ---

void ViewController::S_AddView(QWidget *view)
{
    if (!view)
        return;
    // Asking whether this is the update screen creates it, from the very first push on: its
    // sessions must be listening for bootloader devices while the home screen is shown.
    updateView();
    // Only the top screen is reachable, by pointer, keyboard or the accessibility tree: a covered
    // screen's buttons must not start anything under the one shown.
    for (QWidget *covered : std::as_const(m_views))
        if (covered != view)
            covered->hide();
    m_views.append(view);
    view->setParent(this);
    if (m_backButton)
        view->stackUnder(m_backButton);
    view->show();
    showAndHideBackButton();
    if (view != m_homeView) {
        if (QAction *more = SMainMenu::getMoreMenuItem()) {
            disconnect(more, &QAction::triggered, this, nullptr);
            more->setEnabled(false);
        }
    }
    focusScreen(view);
}

void ViewController::S_RemoveView(QWidget *view)
{
    if (!view)
        return;
    m_views.removeAll(view);
    if (m_updateView && view == m_updateView)
        m_updateView->removeFromSuperview();
    view->hide();
    showAndHideBackButton();
    if (view != m_homeView)
        addMoreAction();
    if (!m_views.isEmpty()) {
        m_views.last()->show();
        focusScreen(m_views.last());
    }
}

void ViewController::focusScreen(QWidget *view)
{
    // The keyboard starts on the screen's first control: focus on the bare screen would leave a
    // screen reader announcing nothing, and the first Tab could leave the screen.
    for (QWidget *w = view->nextInFocusChain(); w && w != view; w = w->nextInFocusChain()) {
        if (view->isAncestorOf(w) && w->isVisibleTo(view) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    view->setFocus();
}

bool ViewController::onScreen(const QWidget *view) const
{
    return view && m_views.contains(const_cast<QWidget *>(view));
}

void ViewController::showAndHideBackButton()
{
    if (m_backButton)
        m_backButton->setVisible(m_views.size() >= 2);
}

void ViewController::back()
{
    if (m_views.size() < 2)
        return;
    if (m_updateView && m_views.last() == m_updateView) {
        // While a session talks to the device (writing, or identifying and erasing before it) the
        // update cannot be left half-done.
        if (updateScreen().sessionRunning())
            return;
        const uint64_t state = updateScreen().state();
        if (state == UpdateSessionController::kStateFinished && onScreen(m_moreView))
            S_RemoveView(m_moreView);
    }
    if (m_views.size() >= 2)
        S_RemoveView(m_views.last());
}

UpdateView *ViewController::updateView()
{
    if (!m_updateView) {
        m_updateView = new UpdateView(host().controller(), this);
        m_updateView->setObjectName(QStringLiteral("UpdateView"));
        m_updateView->hide();
        m_updateView->setGeometry(0, 0, static_cast<int>(m_widht), static_cast<int>(m_height));
        host().controller().setDelegate(this);
        m_updateView->setTerminateHandler([this](int status) { terminate(status); });
        // No sleep while firmware is being written.
        auto *inhibitor = new SleepInhibitor(QDBusConnection::systemBus(), QCoreApplication::applicationName(), this);
        SleepInhibitor::followWriting(m_updateView->controller(), *inhibitor);
        if (m_services.updateScreenMade)
            m_services.updateScreenMade(m_updateView->controller());
    }
    return m_updateView;
}

UpdateSessionController &ViewController::updateScreen()
{
    return updateView()->controller();
}

UpdateHost &ViewController::host()
{
    if (!m_host)
        m_host = std::make_unique<UpdateHost>(m_services.update(), m_services.historyPath);
    return *m_host;
}

MoreView *ViewController::moreView()
{
    if (!m_moreView) {
        m_moreView = new MoreView(this);
        m_moreView->setObjectName(QStringLiteral("MoreView"));
        m_moreView->hide();
        m_moreView->setGeometry(0, 0, static_cast<int>(m_widht), static_cast<int>(m_height));
        m_moreView->setDelegate(this);
    }
    return m_moreView;
}

// --- menu items ---

void ViewController::addCheckUpdat()
{
    if (QAction *item = SMainMenu::getCheckUpdateMenuItem())
        item->setText(localized("Checkforupdate"));
}

void ViewController::addMoreAction()
{
    QAction *item = SMainMenu::getMoreMenuItem();
    if (!item)
        return;
    item->setText(localized("Update Manually"));
    disconnect(item, &QAction::triggered, this, nullptr);
    connect(item, &QAction::triggered, this, &ViewController::moreClick);
    item->setEnabled(true);
}

void ViewController::addBetaAction()
{
    chengBeta(UserDefaults::standard().boolForKey(kBetaKey));
    QAction *item = SMainMenu::getBetaMenuItem();
    if (!item)
        return;
    disconnect(item, &QAction::triggered, this, nullptr);
    connect(item, &QAction::triggered, this, &ViewController::betaClick);
    item->setEnabled(true);
}

void ViewController::moreClick()
{
    if (m_updateView && !m_views.isEmpty() && m_views.last() == m_updateView)
        return;
    S_AddView(moreView());
}

void ViewController::betaClick()
{
    if (UserDefaults::standard().boolForKey(kBetaKey)) {
        chengBeta(false);
        return;
    }
    auto *alert = new QMessageBox(QMessageBox::Warning, localized("Includebetabuilds"), localized("Includebetabuilds"),
                                  QMessageBox::NoButton, window());
    alert->setObjectName(QStringLiteral("betaAlert"));
    alert->setInformativeText(localized("isBeta"));
    QPushButton *sure = alert->addButton(localized("sure"), QMessageBox::AcceptRole);
    alert->addButton(localized("cancel"), QMessageBox::RejectRole);
    alert->setDefaultButton(sure);
    alert->setWindowModality(Qt::WindowModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    connect(alert, &QMessageBox::buttonClicked, this, [this, sure](QAbstractButton *button) {
        if (button == sure)
            chengBeta(true);
    });
    alert->open();
}

void ViewController::chengBeta(bool on)
{
    UserDefaults::standard().setObject(on, kBetaKey);
    // The title is rebuilt rather than edited in place, so that a state word that also occurs in
    // the title text (in some language) cannot corrupt it.
    if (QAction *item = SMainMenu::getBetaMenuItem())
        item->setText(localized("Includebetabuilds") + QStringLiteral("  :    ")
                      + (on ? localized("on") : localized("off")));
}

// --- delegates ---

void ViewController::addSFenwykDevice(const SFenwykDevicePtr &device)
{
    if (m_homeView)
        m_homeView->addSFenwykDevice(device);
}

void ViewController::removeSFenwykDevice(const SFenwykDevicePtr &device)
{
    if (m_homeView)
        m_homeView->removeSFenwykDevice(device);
}

void ViewController::firmwaerUpdateClick(const SFenwykDevicePtr &device, int32_t from)
{
    // The update screen is already shown (and perhaps writing): a second one must not start over it.
    if (!device || onScreen(m_updateView))
        return;
    const auto origin = static_cast<UpdateHost::Origin>(from);
    host().prepareShow(device, origin);
    S_AddView(updateView());
    m_updateView->loadViews();
    host().finishShow(origin);
}

void ViewController::hasNewFirmwaerVersion(const SFenwykDevicePtr &device, const Firmware &firmwaer)
{
    if (!device || onScreen(m_moreView) || onScreen(m_updateView))
        return;
    // The release is handed over before the screen is shown: showing it runs its first layout
    // pass at once (AppKit defers that pass until after this method), and that pass must already
    // see the offer as the whole list.
    host().showOffer(device, firmwaer);
    S_AddView(updateView());
}

void ViewController::MoreViewClick(const SFenwykDevicePtr &device, MoreView *)
{
    if (const SFenwykDevicePtr attached = m_homeView ? m_homeView->moreDevice() : nullptr) {
        firmwaerUpdateClick(attached, 0);
        return;
    }
    if (device)
        firmwaerUpdateClick(device, 1);
}

void ViewController::addBootDevice(UpdateSessionController *)
{
    moreClick();
}

void ViewController::goHome(UpdateSessionController *)
{
    back();
}

// --- closing ---

bool ViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Close) {
        auto *close = static_cast<QCloseEvent *>(event);
        closeWindow(close);
        // A close that was refused must not reach the window, which would accept it.
        if (!close->isAccepted())
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ViewController::closeWindow(QCloseEvent *event)
{
    const bool writing = m_updateView && updateScreen().sessionRunning();
    if (!writing || m_closing) {
        event->accept();
        terminate(0);
        return;
    }
    // Leaving now stops the update half-way and leaves the device in its bootloader: ask first.
    event->ignore();
    if (m_stopQuestion)
        return;
    auto *question = new QMessageBox(QMessageBox::Warning, localized("stopUpdateTitle"), localized("stopUpdateTitle"),
                                     QMessageBox::NoButton, m_window);
    question->setObjectName(QStringLiteral("stopUpdateQuestion"));
    question->setInformativeText(localized("stopUpdateInfo"));
    QPushButton *stop = question->addButton(localized("stopUpdate"), QMessageBox::DestructiveRole);
    QPushButton *keep = question->addButton(localized("cancel"), QMessageBox::RejectRole);
    question->setDefaultButton(keep);
    question->setEscapeButton(keep);
    question->setWindowModality(Qt::WindowModal);
    question->setAttribute(Qt::WA_DeleteOnClose);
    connect(question, &QMessageBox::buttonClicked, this, [this, stop](QAbstractButton *button) {
        if (button != stop)
            return;
        m_closing = true;
        if (m_window)
            m_window->close();
        else
            terminate(0);
    });
    m_stopQuestion = question;
    question->open();
}

void ViewController::terminate(int status)
{
    if (m_services.terminate)
        m_services.terminate(status);
    else
        QCoreApplication::exit(status);
}

} // namespace flashwell
