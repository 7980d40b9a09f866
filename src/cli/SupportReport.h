#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace flashwell::cli {

// `flashwell-cli report`: what a support request needs to know about this machine, gathered
// without touching any device beyond opening (and closing) its hidraw node: versions, the system
// and its session, every hidraw node with its IDs, catalogue product and whether it opens (and
// what to do when it does not), the udev rules, logind and one bounded request to the firmware
// server.
class SupportReport
{
public:
    struct Node
    {
        QString name; // hidraw0
        uint16_t vendorId = 0;
        uint16_t productId = 0;
        QString hidName; // the kernel's name for the device
        QString product; // the catalogue's, or what kind of bootloader; empty when not ours
        bool opens = false;
        int error = 0;   // errno of the failed open
        QString problem; // why it does not open
        QString fix;     // what to do about it
    };
    struct Check
    {
        QString what;
        bool ok = false;
        QString detail;
    };

    struct Options
    {
        QString sysClassHidraw = QStringLiteral("/sys/class/hidraw");
        QString dev = QStringLiteral("/dev");
        QStringList rulesFiles = {QStringLiteral("/etc/udev/rules.d/70-flashwell.rules"),
                                  QStringLiteral("/usr/lib/udev/rules.d/70-flashwell.rules"),
                                  QStringLiteral("/lib/udev/rules.d/70-flashwell.rules"),
                                  QStringLiteral("/usr/local/lib/udev/rules.d/70-flashwell.rules")};
        int serverTimeoutMs = 5000;
        int logindTimeoutMs = 2000;
    };

    static SupportReport gather(const Options &options);

    QString text() const;
    QJsonObject json() const;

    QString application;
    QString qtVersion;
    QString hidapiVersion;
    QString system;
    QString kernel;
    QString session; // x11, wayland, tty or unknown, with the variables that say so
    QList<Node> nodes;
    Check rules;
    Check logind;
    Check server;
};

} // namespace flashwell::cli
