#pragma once

#include "rigs/SessionRig.h"

#include <QCoreApplication>
#include <QLoggingCategory>

namespace flashwell::fuzz {

// Once per fuzzer process: the application object the sessions expect, and quiet logging
// (failures are what we feed them).
inline void initialise(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    QLoggingCategory::setFilterRules(QStringLiteral("flashwell.*=false"));
}

// One rig per session type for the whole process (never destroyed: libFuzzer exits from inside
// a run, and the devices of the last input may still hold a reference to the bus).
template <class Session> lab::FreshSessionRig<Session> &rig()
{
    static auto *instance = new lab::FreshSessionRig<Session>;
    return *instance;
}

} // namespace flashwell::fuzz
