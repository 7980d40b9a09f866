#include "demo/LabMenu.h"

#include "demo/DemoLab.h"
#include "platform/Bundle.h"

#include <QActionGroup>

namespace flashwell::lab {

namespace {
QString localized(const char *key)
{
    return Bundle::localizedString(key);
}
} // namespace

LabMenu::LabMenu(DemoLab &lab, QWidget *parent)
    : QMenu(localized("labMenu"), parent)
    , m_lab(lab)
{
    setObjectName(QStringLiteral("labMenu"));
    for (int i = 0; i < lab.deviceCount(); ++i) {
        QMenu *device = addMenu(lab.deviceName(i));
        device->setObjectName(QStringLiteral("labDevice%1").arg(i));
        DeviceItems items{};
        items.plug = device->addAction(localized("labPlug"), this, [this, i] { m_lab.plug(i); });
        items.unplug = device->addAction(localized("labUnplug"), this, [this, i] { m_lab.unplug(i); });
        items.bootloader =
            device->addAction(localized("labBootloader"), this, [this, i] { m_lab.plugInBootloader(i); });
        m_devices.append(items);
    }
    addSeparator();
    QMenu *faults = addMenu(localized("labFault"));
    faults->setObjectName(QStringLiteral("labFaults"));
    auto *group = new QActionGroup(this);
    struct Choice
    {
        DemoLab::Fault fault;
        const char *key;
    };
    for (const Choice c :
         {Choice{DemoLab::Fault::None, "labFaultNone"}, Choice{DemoLab::Fault::UnplugWhileWriting, "labFaultUnplug"},
          Choice{DemoLab::Fault::DropReply, "labFaultDrop"}}) {
        QAction *action = faults->addAction(localized(c.key), this, [this, c] { m_lab.armFault(c.fault); });
        action->setCheckable(true);
        action->setData(static_cast<int>(c.fault));
        group->addAction(action);
        m_faults.append(action);
    }
    connect(&lab, &DemoLab::changed, this, &LabMenu::refresh);
    connect(this, &QMenu::aboutToShow, this, &LabMenu::refresh);
    refresh();
}

void LabMenu::refresh()
{
    for (int i = 0; i < m_devices.size(); ++i) {
        const bool plugged = m_lab.isPlugged(i);
        m_devices[i].plug->setEnabled(!plugged);
        m_devices[i].unplug->setEnabled(plugged);
        m_devices[i].bootloader->setEnabled(!m_lab.isInBootloader(i));
    }
    for (QAction *action : std::as_const(m_faults))
        action->setChecked(action->data().toInt() == static_cast<int>(m_lab.armedFault()));
}

} // namespace flashwell::lab
