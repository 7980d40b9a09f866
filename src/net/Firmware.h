#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>

namespace flashwell {

// One firmware release as the server lists it; filled by property name from the JSON reply.
class Firmware
{
    Q_GADGET
    Q_PROPERTY(int id MEMBER id)
    Q_PROPERTY(int type MEMBER type)
    Q_PROPERTY(float version MEMBER version)
    Q_PROPERTY(int beta MEMBER beta)
    Q_PROPERTY(QString date MEMBER date)
    Q_PROPERTY(QString fileName READ fileName WRITE setFileName)
    Q_PROPERTY(int fileSize MEMBER fileSize)
    Q_PROPERTY(QString fileURL MEMBER fileURL)
    Q_PROPERTY(QString md5 MEMBER md5)
    Q_PROPERTY(QString readme MEMBER readme)
    Q_PROPERTY(QString readme_en MEMBER readme_en)
public:
    int id = 0;
    int type = 0;
    float version = 0.0f;
    int beta = 0;
    QString date;
    int fileSize = 0;
    QString fileURL;
    QString md5;
    QString readme;
    QString readme_en;

    // The display name: a product name for some types in a Chinese interface, else the server's
    // file name.
    QString fileName() const;
    const QString &storedFileName() const { return m_fileName; }
    void setFileName(const QString &name) { m_fileName = name; }

    bool operator==(const Firmware &) const = default;

private:
    QString m_fileName;
};

} // namespace flashwell

Q_DECLARE_METATYPE(flashwell::Firmware)
