#include "ui/HomeView.h"

#include "device/FirmwareVersion.h"
#include "device/SFenwykDeviceDetailsTools.h"
#include "platform/Bundle.h"
#include "platform/HidBackend.h"
#include "ui/AppKitFrame.h"
#include "ui/DeviceLineButton.h"
#include "ui/ImageView.h"
#include "ui/Picture.h"
#include "ui/SLabel.h"
#include "ui/SLoadXIB.h"
#include "ui/UiLogging.h"

#include <QAbstractButton>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QToolButton>

namespace flashwell {

namespace {
constexpr int64_t kAnimationPeriodMs = 1800;
constexpr int64_t kAnimationStepMs = 500;
constexpr int kLineSpacing = 25;

QString localized(const char *key)
{
    return Bundle::localizedString(key);
}
} // namespace

HomeView::HomeView(QWidget *parent)
    : QWidget(parent)
{}

HomeView::~HomeView()
{
    if (m_scheduler && m_animation)
        m_scheduler->cancel(m_animation);
}

void HomeView::registerClass()
{
    SLoadXIB::registerClass<HomeView>(QStringLiteral("HomeView"));
}

QWidget *HomeView::outlet(const char *name)
{
    auto *widget = findChild<QWidget *>(QString::fromLatin1(name));
    if (!widget)
        qCWarning(lcUi).noquote() << "HomeView: the interface file has no" << name << "- that control is left out";
    return widget;
}

void HomeView::awakeFromNib(Scheduler &scheduler, Server server)
{
    m_server = std::move(server);
    m_devices.clear();
    firmwaerUpdaterButton = qobject_cast<QAbstractButton *>(outlet("firmwaerUpdaterButton"));
    usb = qobject_cast<QLabel *>(outlet("usb"));
    FindsView = outlet("FindsView");
    usbView = outlet("usbView");
    arrow01 = outlet("arrow01");
    arrow02 = outlet("arrow02");
    arrow03 = outlet("arrow03");
    helpButton = qobject_cast<QAbstractButton *>(outlet("helpButton"));

    // Pictures the interface file leaves to us.
    // The arrows start hidden; the animation brings them in one by one.
    for (QWidget *arrow : {arrow01.data(), arrow02.data(), arrow03.data()}) {
        if (auto *image = qobject_cast<ImageView *>(arrow))
            image->setImageNamed(QStringLiteral("usb_arrow"));
        if (arrow)
            arrow->hide();
    }
    if (auto *picture = findChild<ImageView *>(QStringLiteral("usbImage")))
        picture->setImageNamed(QStringLiteral("usb"));

    // The arrow animation runs for the life of the screen.
    if (m_scheduler && m_animation)
        m_scheduler->cancel(m_animation);
    m_scheduler = &scheduler;
    m_animation = scheduler.every(
        kAnimationPeriodMs, [this] { usbAniamtion(); }, this);
    usbAniamtion();

    if (firmwaerUpdaterButton) {
        // Icons made from the drawings themselves: each screen gets pixels at its own scale.
        const QIcon normal(Picture::resourcePathFor(QStringLiteral("updateButton_normal")));
        const QIcon pressed(Picture::resourcePathFor(QStringLiteral("updateButton_highlight")));
        firmwaerUpdaterButton->setIcon(normal);
        firmwaerUpdaterButton->setIconSize(QSize(64, 64));
        // The pressed picture shows while the button is held down.
        connect(firmwaerUpdaterButton, &QAbstractButton::pressed, this,
                [this, pressed] { firmwaerUpdaterButton->setIcon(pressed); });
        connect(firmwaerUpdaterButton, &QAbstractButton::released, this,
                [this, normal] { firmwaerUpdaterButton->setIcon(normal); });
        if (auto *tool = qobject_cast<QToolButton *>(firmwaerUpdaterButton.data()))
            tool->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        firmwaerUpdaterButton->setText(localized("firmwareUpdate"));
        firmwaerUpdaterButton->setAccessibleName(localized("firmwareUpdate"));
        QFont font = firmwaerUpdaterButton->font();
        font.setPixelSize(18);
        firmwaerUpdaterButton->setFont(font);
        QPalette palette = firmwaerUpdaterButton->palette();
        palette.setColor(QPalette::ButtonText, QColor(139, 139, 139));
        firmwaerUpdaterButton->setPalette(palette);
        connect(firmwaerUpdaterButton, &QAbstractButton::clicked, this, &HomeView::firmwaerUpdateClick);
    }
    if (usb) {
        // Font sizes are pixels everywhere; an interface file can only say points.
        QFont font = usb->font();
        font.setPixelSize(16);
        usb->setFont(font);
        usb->setText(localized("usbHint"));
        QPalette palette = usb->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        usb->setPalette(palette);
    }
    if (helpButton) {
        helpButton->setText(localized("helpButton"));
        helpButton->setAccessibleName(localized("helpButton"));
        connect(helpButton, &QAbstractButton::clicked, this, &HomeView::helpButtonClick);
    }
}

void HomeView::setState(unsigned state)
{
    if (state == 0 || state == 1)
        findStateUI(state == 1);
}

void HomeView::findStateUI(bool found)
{
    // The keyboard stays on the screen's button when one state's button gives way to the other's.
    const bool hadFocus =
        (helpButton && helpButton->hasFocus()) || (firmwaerUpdaterButton && firmwaerUpdaterButton->hasFocus());
    for (QWidget *w : {static_cast<QWidget *>(helpButton.data()), usbView.data(), static_cast<QWidget *>(usb.data())})
        if (w)
            w->setVisible(!found);
    for (QWidget *w : {FindsView.data(), static_cast<QWidget *>(firmwaerUpdaterButton.data())})
        if (w)
            w->setVisible(found);
    QAbstractButton *shown = found ? firmwaerUpdaterButton.data() : helpButton.data();
    if (hadFocus && shown)
        shown->setFocus(Qt::OtherFocusReason);
}

void HomeView::addSFenwykDevice(const SFenwykDevicePtr &device)
{
    if (!device)
        return;
    // A device the catalogue does not know has no product type to report or ask about.
    const SFenwykDataDetailsPtr entry = device->details();
    if (entry && m_server.recordActivity)
        m_server.recordActivity(entry->type);
    if (m_devices.contains(device)) {
        refresh();
        if (entry)
            loadNewGameVersion(entry->type, device->version(), device->beta, device);
        return;
    }
    m_devices.append(device);
    refresh();
}

void HomeView::removeSFenwykDevice(const SFenwykDevicePtr &device)
{
    if (device && m_devices.removeAll(device) > 0)
        refresh();
}

void HomeView::refresh()
{
    if (FindsView)
        qDeleteAll(FindsView->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly));
    if (m_devices.isEmpty()) {
        setState(0);
    } else {
        setState(1);
        addDevicesTextFileld();
    }
}

QString HomeView::deviceLine(SFenwykDevice &device)
{
    const SFenwykDataDetailsPtr entry = device.details();
    const QString name = entry ? entry->name() : device.deviceName;
    if (entry && entry->type == 21 && device.version() == 0.0f)
        return QStringLiteral("%1 %2").arg(name, localized("Connect"));
    const QString beta = device.beta != 0 ? QStringLiteral("beta %1").arg(device.beta) : QString();
    return QStringLiteral("%1 V%2 %3 %4")
        .arg(name, firmware_version::number(device.version()), beta, localized("Connect"));
}

void HomeView::addDevicesTextFileld()
{
    if (!FindsView)
        return;
    const qreal originY = AppKitFrame::frame(FindsView).y();
    int line = 0;
    for (const SFenwykDevicePtr &device : std::as_const(m_devices)) {
        ++line;
        auto *label = new DeviceLineButton(deviceLine(*device), FindsView);
        label->setObjectName(QStringLiteral("deviceLine%1").arg(line));
        const qreal height = label->sizeHint().height();
        AppKitFrame::setFrame(label, QRectF(0, originY - kLineSpacing * line, FindsView->width(), height));
        connect(label, &QAbstractButton::clicked, this, [this, weak = std::weak_ptr<SFenwykDevice>(device)] {
            if (const SFenwykDevicePtr chosen = weak.lock())
                deviceLineClick(chosen);
        });
        label->show();
    }
}

void HomeView::loadNewGameVersion(int32_t type, float version, int32_t beta, const SFenwykDevicePtr &device)
{
    if (version == 0.0f || !m_server.getNewVersion || !device)
        return;
    const float rounded = firmware_version::number(version).toFloat();
    QPointer<HomeView> self(this);
    m_server.getNewVersion(
        type, rounded, beta, this,
        [self, weak = std::weak_ptr<SFenwykDevice>(device)](const Firmware &firmware) {
            if (!self)
                return;
            // The offer is for the device whose query it answers, and only while it is attached.
            const SFenwykDevicePtr asked = weak.lock();
            if (asked && self->m_devices.contains(asked) && self->delegate())
                self->delegate()->hasNewFirmwaerVersion(asked, firmware);
        },
        [](const HttpError &) {});
}

void HomeView::firmwaerUpdateClick()
{
    const SFenwykDevicePtr first = moreDevice();
    if (first && delegate())
        delegate()->firmwaerUpdateClick(first, 0);
}

void HomeView::deviceLineClick(const SFenwykDevicePtr &device)
{
    if (device && m_devices.contains(device) && delegate())
        delegate()->firmwaerUpdateClick(device, 0);
}

void HomeView::helpButtonClick()
{
    QWidget *host = parentWidget() ? parentWidget()->window() : window();
    auto *alert =
        new QMessageBox(QMessageBox::Warning, localized("MacOS"), localized("MacOS"), QMessageBox::NoButton, host);
    alert->setObjectName(QStringLiteral("helpAlert"));
    alert->setInformativeText(localized("MacOSTisp"));
    alert->addButton(localized("sure"), QMessageBox::AcceptRole);
    alert->setWindowModality(Qt::WindowModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->open();
}

void HomeView::showOpenFailures(HidBackend &backend)
{
    if (!openFailureLine) {
        openFailureLine = new QLabel(this);
        openFailureLine->setObjectName(QStringLiteral("openFailureLine"));
        openFailureLine->setWordWrap(true);
        openFailureLine->setAlignment(Qt::AlignCenter);
        openFailureLine->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        openFailureLine->setFocusPolicy(Qt::TabFocus);
        QPalette palette = openFailureLine->palette();
        palette.setColor(QPalette::WindowText, QColor(176, 32, 32));
        openFailureLine->setPalette(palette);
        // Under the device list and the update button, above the window's lower edge.
        openFailureLine->setGeometry(40, height() - 86, width() - 80, 72);
        openFailureLine->hide();
    }
    connect(&backend, &HidBackend::deviceOpenFailed, this, [this](HidDevice *device) {
        m_unopened.removeAll(HidDeviceRef());
        m_unopened.removeAll(HidDeviceRef(device));
        m_unopened.append(device);
        refreshOpenFailure();
    });
    const auto forget = [this](HidDevice *device) {
        if (m_unopened.removeAll(HidDeviceRef(device)) > 0)
            refreshOpenFailure();
    };
    connect(&backend, &HidBackend::deviceOpened, this, forget);
    connect(&backend, &HidBackend::deviceRemoved, this, forget);
}

QString HomeView::openFailureText(const HidDevice &device)
{
    const uint16_t vid = static_cast<uint16_t>(device.property(kHidVendorIDKey).toUInt());
    const uint16_t pid = static_cast<uint16_t>(device.property(kHidProductIDKey).toUInt());
    QString name;
    for (const SFenwykDataDetailsPtr &entry : SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs()) {
        if (entry && entry->vid == vid && entry->pid == pid) {
            name = entry->name();
            break;
        }
    }
    if (name.isEmpty())
        name = device.property(kHidProductKey).toString().trimmed();
    const QString id = QStringLiteral("%1:%2").arg(vid, 4, 16, QLatin1Char('0')).arg(pid, 4, 16, QLatin1Char('0'));
    name = name.isEmpty() ? id : QStringLiteral("%1 (%2)").arg(name, id);
    return localized("cannotOpenDevice").arg(name);
}

void HomeView::refreshOpenFailure()
{
    m_unopened.removeAll(HidDeviceRef());
    if (!openFailureLine)
        return;
    if (m_unopened.isEmpty()) {
        openFailureLine->hide();
        openFailureLine->clear();
        return;
    }
    openFailureLine->setText(openFailureText(*m_unopened.last()));
    openFailureLine->show();
    openFailureLine->raise();
}

void HomeView::usbAniamtion()
{
    if (!m_scheduler)
        return;
    auto show = [](QWidget *w, bool visible) {
        if (w)
            w->setVisible(visible);
    };
    show(arrow03, true);
    m_scheduler->after(
        kAnimationStepMs, [this, show] { show(arrow02, true); }, this);
    m_scheduler->after(
        2 * kAnimationStepMs, [this, show] { show(arrow01, true); }, this);
    m_scheduler->after(
        3 * kAnimationStepMs,
        [this, show] {
            show(arrow01, false);
            show(arrow02, false);
            show(arrow03, false);
        },
        this);
}

} // namespace flashwell
