#pragma once
// The tail of every benchmark program's main(): the user's defaults in a scratch file (a bench
// never writes the real ones), then the benchmarks the command line names.
#include "platform/UserDefaults.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <functional>

namespace flashwell::bench {

// `prepare` runs once the scratch defaults are in place, before the first benchmark.
inline int runBenchmarks(int &argc, char **argv, const std::function<void()> &prepare = {})
{
    QTemporaryDir dir;
    UserDefaults::useFileForStandard(dir.filePath(QStringLiteral("defaults.ini")));
    if (prepare)
        prepare();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    UserDefaults::useFileForStandard({});
    return 0;
}

} // namespace flashwell::bench
