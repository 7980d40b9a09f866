#pragma once
// What both soaks share: the paths they take in turn, the lab server that offers each path's
// release, and the tally of what a slow leak would show after the warm-up.
#include "SoakProbes.h"
#include "UpdatePathCases.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "server/LabFirmwareServer.h"
#include <QNetworkProxy>
#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace flashwell::bench {

// Every protocol path of a whole update, and the second generation through the D-input switch.
inline std::vector<test::PathCase> soakPaths()
{
    std::vector<test::PathCase> paths = test::allPaths();
    test::PathCase secondGen = test::switchPath();
    secondGen.name = "second-generation through the D-input switch";
    secondGen.options = test::dinput(0x9026, lab::LabBootloader::SecondGen);
    paths.push_back(secondGen);
    return paths;
}

// Makes the lab server every server the product asks, offering each path's release once (the two
// second-generation paths share theirs). False when it cannot listen.
inline bool serve(lab::LabFirmwareServer &server, const std::vector<test::PathCase> &paths, const QString &downloads)
{
    SHttp::network().setProxy(QNetworkProxy::NoProxy);
    if (!server.listen())
        return false;
    ServerConfig config;
    config.primary = config.china = config.beta = server.baseUrl();
    config.downloadsRoot = downloads;
    ServerConfig::install(config);
    std::vector<int> typesServed;
    for (const test::PathCase &c : paths) {
        if (std::find(typesServed.begin(), typesServed.end(), c.releaseType) != typesServed.end())
            continue;
        typesServed.push_back(c.releaseType);
        server.addRelease(
            test::releaseJson(c.releaseType, c.releaseType, 1.05, QStringLiteral("fw_%1.bin").arg(c.releaseType)),
            c.file);
    }
    return true;
}

// After the warm-up every update should leave the process as it found it: the same descriptors and
// live QObjects, the same tasks on the clock as the last update of the same path and outcome, and
// resident memory that stops growing.
class SoakTally
{
public:
    SoakTally(int warmUp, std::size_t paths)
        : m_warmUp(warmUp)
        , m_tasksLeft(paths, {-1, -1})
    {}

    void add(int update, std::size_t path, bool success, bool faulted, long tasksLeft, const Sample &now)
    {
        ++m_updates;
        m_failures += success ? 0 : 1;
        m_unexpected += !success && !faulted ? 1 : 0;
        long &expected = m_tasksLeft[path][success ? 1 : 0];
        if (update >= m_warmUp) {
            m_fdChanges += now.fds != m_last.fds ? 1 : 0;
            m_objectChanges += now.objects != m_last.objects ? 1 : 0;
            m_taskChanges += expected >= 0 && tasksLeft != expected ? 1 : 0;
            m_maxRss = std::max(m_maxRss, now.rssKiB);
        }
        expected = tasksLeft;
        if (update + 1 == m_warmUp)
            m_warm = now;
        m_last = now;
    }

    // The counters, the warm-up's named by `warm` ("after_50"); an update that failed without a
    // fault fails the run.
    void report(benchmark::State &state, const std::string &warm) const
    {
        state.counters["updates"] = m_updates;
        state.counters["failed"] = m_failures;
        state.counters["failed_without_fault"] = m_unexpected;
        state.counters["rss_KiB_" + warm] = static_cast<double>(m_warm.rssKiB);
        state.counters["rss_KiB_at_end"] = static_cast<double>(m_last.rssKiB);
        state.counters["rss_growth_KiB"] = static_cast<double>(m_maxRss - m_warm.rssKiB);
        state.counters["fds_" + warm] = static_cast<double>(m_warm.fds);
        state.counters["fds_at_end"] = static_cast<double>(m_last.fds);
        state.counters["fd_count_changes"] = m_fdChanges;
        state.counters["qobjects_" + warm] = static_cast<double>(m_warm.objects);
        state.counters["qobjects_at_end"] = static_cast<double>(m_last.objects);
        state.counters["qobject_count_changes"] = m_objectChanges;
        state.counters["clock_task_count_changes"] = m_taskChanges;
        if (m_unexpected > 0)
            state.SkipWithError("an update without a fault failed");
    }

private:
    int m_warmUp;
    std::vector<std::array<long, 2>> m_tasksLeft; // per path and outcome; -1 until seen
    Sample m_warm{};
    Sample m_last{};
    long m_maxRss = 0;
    int m_updates = 0;
    int m_failures = 0;
    int m_unexpected = 0;
    int m_fdChanges = 0;
    int m_objectChanges = 0;
    int m_taskChanges = 0;
};

} // namespace flashwell::bench
