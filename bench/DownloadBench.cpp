#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "server/LabFirmwareServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

using namespace flashwell;

namespace {

long peakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Downloads a file of N MiB from the lab server over loopback into the cache folder. Run the
// small size first: the peak RSS after the large one shows whether memory grows with the file.
void BM_DownloadFromLabServer(benchmark::State &state)
{
    const qint64 size = state.range(0) * 1024 * 1024;
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("image.bin"));
    {
        QFile f(source);
        f.open(QIODevice::WriteOnly);
        const QByteArray block(1024 * 1024, '\x5A');
        for (qint64 written = 0; written < size; written += block.size())
            f.write(block);
    }
    lab::LabFirmwareServer server;
    server.listen();
    server.addRelease(QJsonObject{{QStringLiteral("id"), 1}, {QStringLiteral("type"), 21}}, source);
    ServerConfig config;
    config.primary = config.china = config.beta = server.baseUrl();
    config.downloadsRoot = dir.filePath(QStringLiteral("downloads"));
    ServerConfig::install(config);
    SHttp::network().setProxy(QNetworkProxy::NoProxy);

    for (auto _ : state) {
        QFile::remove(SHttp::downloadFolder() + QStringLiteral("/image.bin"));
        bool done = false;
        SHttp::dowmFirmwaerFile(
            QStringLiteral("http://files/image.bin"), nullptr, [&](const QString &) { done = true; },
            [&](const HttpError &e) {
                state.SkipWithError(qPrintable(e.description));
                done = true;
            },
            1, static_cast<int>(size));
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    ServerConfig::install(std::nullopt);
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["peak_rss_MiB"] = static_cast<double>(peakRssKiB()) / 1024.0;
}
BENCHMARK(BM_DownloadFromLabServer)->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
