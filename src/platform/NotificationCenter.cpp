#include "platform/NotificationCenter.h"

#include <algorithm>

namespace flashwell {

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(QObject *observer, const QString &name, Handler handler)
{
    if (!observer || !handler)
        return;
    m_observations.push_back({observer, name, std::move(handler)});
}

void NotificationCenter::removeObserver(QObject *observer)
{
    std::erase_if(m_observations,
                  [observer](const Observation &o) { return o.observer.isNull() || o.observer == observer; });
}

void NotificationCenter::post(const QString &name)
{
    std::erase_if(m_observations, [](const Observation &o) { return o.observer.isNull(); });
    // Handlers may add or remove observers; deliver to a snapshot.
    const auto snapshot = m_observations;
    for (const auto &o : snapshot) {
        if (o.name == name && o.observer)
            o.handler();
    }
}

} // namespace flashwell
