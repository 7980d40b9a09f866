#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

namespace flashwell {

// Post/observe by name on the UI thread. An observer is forgotten when its QObject is
// destroyed, so nobody has to remember to unregister.
class NotificationCenter final
{
public:
    using Handler = std::function<void()>;

    static NotificationCenter &defaultCenter();

    void addObserver(QObject *observer, const QString &name, Handler handler);
    void removeObserver(QObject *observer);
    void post(const QString &name);

private:
    struct Observation
    {
        QPointer<QObject> observer;
        QString name;
        Handler handler;
    };
    std::vector<Observation> m_observations;
};

} // namespace flashwell
