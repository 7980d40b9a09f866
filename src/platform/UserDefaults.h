#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

class QSettings;

namespace flashwell {

// Persistent user settings over QSettings. The keys are the product's own ("UserDefaults_isBeta",
// "AppleLanguages", ...). Tests point the standard store at a temporary file.
class UserDefaults final
{
public:
    // The application's store (QSettings with the organisation and application names).
    static UserDefaults &standard();
    // Replaces the standard store with one backed by an INI file at `path`; used by tests and
    // the lab so they never touch the user's settings. An empty path restores the default.
    static void useFileForStandard(const QString &path);

    explicit UserDefaults(std::unique_ptr<QSettings> settings);
    ~UserDefaults();

    QVariant objectForKey(const QString &key) const;
    QStringList stringArrayForKey(const QString &key) const;
    QString stringForKey(const QString &key) const;
    bool boolForKey(const QString &key) const;
    void setObject(const QVariant &value, const QString &key);
    void removeObjectForKey(const QString &key);

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace flashwell
