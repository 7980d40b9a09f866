#pragma once

// What a slow leak would show over many updates in one process: resident memory, open file
// descriptors and live QObjects; and the bus faults the soaks inject in turn.
#include "platform/VirtualHidBus.h"

#include <QDir>
#include <QFile>
#include <QObject>

#include <array>
#include <atomic>

QT_BEGIN_NAMESPACE
// Qt's hook table for tools that track objects (declared in a private header): slot 3 is called
// for every QObject constructed, slot 4 for every one destroyed.
extern Q_CORE_EXPORT quintptr qtHookData[];
QT_END_NAMESPACE

namespace flashwell::bench {

namespace detail {
using ObjectHook = void (*)(QObject *);
inline std::atomic<long> liveObjects{0};
inline ObjectHook previousAdd = nullptr;
inline ObjectHook previousRemove = nullptr;

inline void objectAdded(QObject *o)
{
    ++liveObjects;
    if (previousAdd)
        previousAdd(o);
}

inline void objectRemoved(QObject *o)
{
    --liveObjects;
    if (previousRemove)
        previousRemove(o);
}
} // namespace detail

// Counts from now on; the objects made before are a constant offset, which is all a leak check needs.
inline void installObjectCounter()
{
    constexpr std::size_t kAddQObjectHook = 3;
    constexpr std::size_t kRemoveQObjectHook = 4;
    detail::previousAdd = reinterpret_cast<detail::ObjectHook>(qtHookData[kAddQObjectHook]);
    detail::previousRemove = reinterpret_cast<detail::ObjectHook>(qtHookData[kRemoveQObjectHook]);
    qtHookData[kAddQObjectHook] = reinterpret_cast<quintptr>(&detail::objectAdded);
    qtHookData[kRemoveQObjectHook] = reinterpret_cast<quintptr>(&detail::objectRemoved);
}

inline long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * 4 : 0; // pages of 4 KiB
}

inline long openDescriptors()
{
    return static_cast<long>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

struct Sample
{
    long rssKiB;
    long fds;
    long objects;
};

inline Sample sample()
{
    return {residentKiB(), openDescriptors(), detail::liveObjects.load()};
}

// A fault for the n-th faulted update: each kind in turn, on a host report inside the data.
inline HidFault faultFor(int n)
{
    static constexpr std::array<HidFault::Kind, 6> kKinds = {HidFault::Kind::Drop,     HidFault::Kind::Duplicate,
                                                             HidFault::Kind::Delay,    HidFault::Kind::Corrupt,
                                                             HidFault::Kind::FailSend, HidFault::Kind::Unplug};
    HidFault fault;
    fault.kind = kKinds[static_cast<std::size_t>(n) % kKinds.size()];
    fault.direction = HidFault::Direction::HostToDevice;
    fault.index = 30 + n % 7;
    fault.delayMs = 5000;
    fault.corruptByte = 20;
    return fault;
}

} // namespace flashwell::bench
