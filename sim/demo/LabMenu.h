#pragma once

#include <QMenu>

namespace flashwell::lab {

class DemoLab;

// The demo's "Lab" menu: plugs and unplugs each virtual device, brings one back already in its
// bootloader, and arms a fault for the next update. Its items follow the lab's state.
class LabMenu final : public QMenu
{
    Q_OBJECT
public:
    LabMenu(DemoLab &lab, QWidget *parent = nullptr);

    // Re-reads which devices are plugged and which fault is armed.
    void refresh();

private:
    DemoLab &m_lab;
    struct DeviceItems
    {
        QAction *plug;
        QAction *unplug;
        QAction *bootloader;
    };
    QList<DeviceItems> m_devices;
    QList<QAction *> m_faults;
};

} // namespace flashwell::lab
