#pragma once

#include "platform/WeakDelegate.h"

#include <algorithm>
#include <vector>

namespace flashwell {

// Where a delegate joins a list. One that only watches (a printer, a recorder) hears an event
// before those that act on it, so that what it records comes before whatever the acting one sets
// off in the same call.
enum class DelegateOrder { AfterOthers, BeforeOthers };

// Several weak delegates of one protocol, told in list order. Each reads null once its object is
// destroyed and is then skipped; a delegate is listed once however often it is added.
template <typename Protocol> class WeakDelegateList
{
public:
    void add(Protocol *delegate, DelegateOrder order = DelegateOrder::AfterOthers)
    {
        prune();
        if (!delegate || contains(delegate))
            return;
        WeakDelegate<Protocol> entry;
        entry.set(delegate);
        if (!entry)
            return;
        if (order == DelegateOrder::BeforeOthers)
            m_delegates.insert(m_delegates.begin(), entry);
        else
            m_delegates.push_back(entry);
    }

    void remove(Protocol *delegate)
    {
        std::erase_if(m_delegates, [delegate](const WeakDelegate<Protocol> &d) { return d.get() == delegate; });
        prune();
    }

    bool contains(Protocol *delegate) const
    {
        return std::any_of(m_delegates.begin(), m_delegates.end(),
                           [delegate](const WeakDelegate<Protocol> &d) { return d.get() == delegate; });
    }

    // The delegates alive now, in the order they are told.
    std::vector<Protocol *> delegates() const
    {
        std::vector<Protocol *> alive;
        for (const WeakDelegate<Protocol> &d : m_delegates)
            if (Protocol *p = d.get())
                alive.push_back(p);
        return alive;
    }

    // Tells every delegate alive: `call(&Protocol::method, args...)`. A delegate may add or remove
    // delegates while it is told; one removed before its turn is not told.
    template <typename Method, typename... Args> void call(Method method, const Args &...args) const
    {
        for (Protocol *delegate : delegates())
            if (contains(delegate))
                (delegate->*method)(args...);
    }

private:
    void prune()
    {
        std::erase_if(m_delegates, [](const WeakDelegate<Protocol> &d) { return !d; });
    }

    std::vector<WeakDelegate<Protocol>> m_delegates;
};

} // namespace flashwell
