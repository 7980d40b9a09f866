#include "platform/UserDefaults.h"

#include <QSettings>

namespace flashwell {

namespace {
std::unique_ptr<UserDefaults> &standardSlot()
{
    static std::unique_ptr<UserDefaults> slot;
    return slot;
}
} // namespace

UserDefaults &UserDefaults::standard()
{
    auto &slot = standardSlot();
    if (!slot)
        slot = std::make_unique<UserDefaults>(
            std::make_unique<QSettings>(QStringLiteral("Fenwyk"), QStringLiteral("Flashwell")));
    return *slot;
}

void UserDefaults::useFileForStandard(const QString &path)
{
    auto &slot = standardSlot();
    if (path.isEmpty())
        slot.reset();
    else
        slot = std::make_unique<UserDefaults>(std::make_unique<QSettings>(path, QSettings::IniFormat));
}

UserDefaults::UserDefaults(std::unique_ptr<QSettings> settings)
    : m_settings(std::move(settings))
{}

UserDefaults::~UserDefaults() = default;

QVariant UserDefaults::objectForKey(const QString &key) const
{
    return m_settings->value(key);
}

QStringList UserDefaults::stringArrayForKey(const QString &key) const
{
    const QVariant v = m_settings->value(key);
    // A one-element list read back from an INI file comes back as a plain string.
    if (v.typeId() == QMetaType::QString)
        return {v.toString()};
    return v.toStringList();
}

QString UserDefaults::stringForKey(const QString &key) const
{
    return m_settings->value(key).toString();
}

bool UserDefaults::boolForKey(const QString &key) const
{
    return m_settings->value(key).toBool();
}

void UserDefaults::setObject(const QVariant &value, const QString &key)
{
    m_settings->setValue(key, value);
    m_settings->sync();
}

void UserDefaults::removeObjectForKey(const QString &key)
{
    m_settings->remove(key);
    m_settings->sync();
}

} // namespace flashwell
