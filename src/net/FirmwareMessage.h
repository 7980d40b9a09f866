#pragma once

#include "mapping/JsonMapping.h"
#include "net/Firmware.h"

#include <QList>
#include <QString>
#include <QVariant>

namespace flashwell {

// The firmware server's reply envelope as a record.
class FirmwareMessage
{
    Q_GADGET
    Q_PROPERTY(int msgState MEMBER msgState)
    Q_PROPERTY(QString error MEMBER error)
    Q_PROPERTY(QList<flashwell::Firmware> List MEMBER List)
public:
    int msgState = 0;
    QString error;
    QList<Firmware> List;

    // "List" holds Firmware records.
    static mapping::ElementClasses mj_objectClassInArray() { return {{"List", mapping::arrayOf<Firmware>()}}; }
    // Keyed access answers nothing, for every key.
    QVariant operator[](const QString &key) const
    {
        Q_UNUSED(key);
        return {};
    }
};

} // namespace flashwell

Q_DECLARE_METATYPE(flashwell::FirmwareMessage)
