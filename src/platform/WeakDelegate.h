#pragma once

#include <QObject>
#include <QPointer>

#include <utility>

namespace flashwell {

// A weak reference to a delegate protocol (an abstract class) implemented by a QObject:
// reads null once the implementing object is destroyed, so a sender never calls a dead
// delegate. Delegates that are not QObjects are refused (they could not be tracked).
template <typename Protocol> class WeakDelegate
{
public:
    WeakDelegate() = default;

    void set(Protocol *delegate)
    {
        m_object = dynamic_cast<QObject *>(delegate);
        m_delegate = m_object ? delegate : nullptr;
    }
    Protocol *get() const { return m_object ? m_delegate : nullptr; }
    explicit operator bool() const { return get() != nullptr; }
    Protocol *operator->() const { return get(); }

    // Tells the delegate, when one is still alive: `call(&Protocol::method, args...)`.
    template <typename Method, typename... Args> void call(Method method, Args &&...args) const
    {
        if (Protocol *delegate = get())
            (delegate->*method)(std::forward<Args>(args)...);
    }

private:
    QPointer<QObject> m_object;
    Protocol *m_delegate = nullptr;
};

} // namespace flashwell
