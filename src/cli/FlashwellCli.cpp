#include "cli/FlashwellCli.h"

#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "cli/CliDevices.h"
#include "cli/SupportReport.h"
#include "device/FirmwareVersion.h"
#include "device/HidTransport.h"
#include "device/SFenwykDeviceDetailsTools.h"
#include "net/ServerConfig.h"
#include "platform/Bundle.h"
#include "platform/CommandLine.h"
#include "platform/Scheduler.h"
#include "update/ManualGuideTable.h"
#include "update/ObservingCatalogueClient.h"
#include "update/UpdateHistory.h"
#include "update/UpdateHistoryRecorder.h"
#include "update/UpdateHost.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QRegularExpression>

#include <algorithm>

namespace flashwell::cli {

namespace {

QString text(const char *key)
{
    return Bundle::localizedString(key);
}

QString hex4(uint16_t v)
{
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0'));
}

} // namespace

struct FlashwellCli::Options
{
    QString command;
    QStringList positional;
    bool json = false;
    bool yes = false;
    bool betaBuilds = false;
    QString release;
    QString product;
};

// What one command runs on: the update host the window runs (watchers, controller, history),
// and the devices its watchers have announced.
struct FlashwellCli::Session
{
    explicit Session(const Environment &env)
        : host(env.update, env.historyPath)
        , controller(host.controller())
        , devices(host, env.update)
    {}

    UpdateHost host;
    UpdateSessionController &controller;
    CliDevices devices;
};

FlashwellCli::FlashwellCli(Environment environment, QObject *parent)
    : QObject(parent)
    , m_env(std::move(environment))
{}

FlashwellCli::~FlashwellCli() = default;

QString FlashwellCli::usage()
{
    return text("cliUsage");
}

int64_t FlashwellCli::now() const
{
    return m_env.update.platform.scheduler->nowMs();
}

bool FlashwellCli::waitFor(const std::function<bool()> &done, int64_t timeoutMs)
{
    const int64_t deadline = now() + timeoutMs;
    m_env.runUntil([&] { return done() || m_stop || now() >= deadline; });
    return done();
}

void FlashwellCli::discover()
{
    const int64_t start = now();
    waitFor(
        [&] {
            const int64_t elapsed = now() - start;
            return elapsed >= kDiscoveryLimitMs || (elapsed >= kDiscoveryMs && !m_session->devices.identifying());
        },
        kDiscoveryLimitMs);
}

void FlashwellCli::print(const Options &o, const QString &line, const QJsonObject &json)
{
    if (o.json)
        m_env.out(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
    else if (!line.isNull())
        m_env.out(line + QLatin1Char('\n'));
}

int FlashwellCli::fail(const Options &o, int status, const QString &message)
{
    if (m_lastProgress >= 0 && m_env.terminal && !o.json)
        m_env.out(QStringLiteral("\n"));
    m_lastProgress = -1;
    if (o.json)
        print(o, {}, QJsonObject{{QStringLiteral("error"), message}, {QStringLiteral("status"), status}});
    else
        m_env.err(message + QLatin1Char('\n'));
    return status;
}

// Options are "-y" or "--yes"; a value never starts with "--" (the next option), so
// "--release --yes" lacks its release rather than releasing "--yes".
CommandLine FlashwellCli::commandLine(Options &o)
{
    auto into = [](QString &field, const char *name) {
        return [&field, name](const QString &value) {
            field = value;
            return value.isEmpty() ? text("cliOptionNeedsValue").arg(QLatin1String(name)) : QString();
        };
    };
    CommandLine line(CommandLine::Rules{.optionPrefix = QStringLiteral("-"), .dashedValues = false});
    line.helpAndVersion()
        .flag({QStringLiteral("--json")}, [] {}) // read before the others, so every problem is reported in JSON
        .flag({QStringLiteral("--yes"), QStringLiteral("-y")}, [&o] { o.yes = true; })
        .flag({QStringLiteral("--beta-builds")}, [&o] { o.betaBuilds = true; })
        .value({QStringLiteral("--release")}, into(o.release, "--release"))
        .value({QStringLiteral("--product")}, into(o.product, "--product"))
        .arguments([&o](const QString &word) {
            if (o.command.isEmpty())
                o.command = word;
            else
                o.positional.append(word);
            return QString();
        });
    return line;
}

int FlashwellCli::run(const QStringList &args)
{
    Options o;
    o.json = args.contains(QStringLiteral("--json"));
    auto usageError = [&](const QString &message) {
        if (!o.json)
            m_env.err(message + QLatin1Char('\n') + usage() + QLatin1Char('\n'));
        else
            fail(o, BadUsage, message);
        return static_cast<int>(BadUsage);
    };
    const CommandLine::Result line = commandLine(o).read(args);
    if (line.request == CommandLine::Request::Help) {
        m_env.out(usage() + QLatin1Char('\n'));
        return Success;
    }
    if (line.request == CommandLine::Request::Version) {
        m_env.out(CommandLine::versionLine(QStringLiteral("flashwell-cli")) + QLatin1Char('\n'));
        return Success;
    }
    if (const std::optional<CommandLine::Problem> &p = line.problem) {
        if (p->kind == CommandLine::Problem::Kind::UnknownOption)
            return usageError(text("cliUnknownOption").arg(p->word));
        return usageError(p->message.isEmpty() ? text("cliOptionNeedsValue").arg(p->word) : p->message);
    }

    const bool takesDevice = o.command == QLatin1String("releases") || o.command == QLatin1String("update");
    if (o.command.isEmpty())
        return usageError(text("cliNoCommand"));
    if (o.command != QLatin1String("devices") && !takesDevice && o.command != QLatin1String("history")
        && o.command != QLatin1String("report"))
        return usageError(text("cliUnknownCommand").arg(o.command));
    if (o.positional.size() > (takesDevice ? 1 : 0))
        return usageError(text("cliTooManyArguments").arg(o.positional.last()));
    if (takesDevice && o.positional.isEmpty() && o.product.isEmpty())
        return usageError(text("cliNameDevice"));
    if (o.command != QLatin1String("update") && (o.yes || !o.release.isEmpty() || !o.product.isEmpty()))
        return usageError(text("cliUpdateOnlyOptions"));
    if (o.command != QLatin1String("releases") && o.command != QLatin1String("update") && o.betaBuilds)
        return usageError(text("cliBetaOnlyOptions"));

    if (o.command == QLatin1String("history"))
        return history(o);
    if (o.command == QLatin1String("report"))
        return report(o);

    // Beta builds for this run only: the beta server answers every list, as with the window's switch.
    std::optional<ServerConfig> previous;
    if (o.betaBuilds) {
        previous = ServerConfig::current();
        ServerConfig beta = *previous;
        beta.primary = beta.china = beta.beta;
        ServerConfig::install(beta);
    }
    m_session = std::make_unique<Session>(m_env);
    if (m_env.controllerMade)
        m_env.controllerMade(m_session->controller);
    int status = Failure;
    if (o.command == QLatin1String("devices"))
        status = devices(o);
    else if (o.command == QLatin1String("releases"))
        status = releases(o);
    else
        status = update(o);
    m_session.reset();
    if (previous)
        ServerConfig::install(previous);
    return status;
}

// --- devices ---

int FlashwellCli::devices(const Options &o)
{
    discover();
    const QList<Found> found = m_session->devices.found();
    if (found.isEmpty()) {
        print(o, text("cliNoDevices"), QJsonObject{{QStringLiteral("devices"), 0}});
        return Success;
    }
    for (int i = 0; i < found.size(); ++i) {
        const Found &f = found[i];
        const QString ids = hex4(f.vid) + QLatin1Char(':') + hex4(f.pid);
        QJsonObject json{{QStringLiteral("index"), i + 1},
                         {QStringLiteral("name"), f.name},
                         {QStringLiteral("vid"), hex4(f.vid)},
                         {QStringLiteral("pid"), hex4(f.pid)},
                         {QStringLiteral("bootloader"), !f.device}};
        QString line = QStringLiteral("%1  %2  %3").arg(i + 1).arg(f.name, ids);
        if (f.device) {
            const SFenwykDevice &d = *f.device;
            json.insert(QStringLiteral("version"), firmware_version::number(d.version()));
            json.insert(QStringLiteral("beta"), d.beta);
            json.insert(QStringLiteral("bootVersion"), QString(QStringLiteral("0x") + hex4(d.bootVersion)));
            json.insert(QStringLiteral("switchable"), d.isChangeBoot);
            line += QStringLiteral("  ") + text("cliVersion").arg(firmware_version::text(d.version(), d.beta));
            if (d.bootVersion != 0)
                line += QStringLiteral("  ") + text("cliBootVersion").arg(QStringLiteral("0x") + hex4(d.bootVersion));
            line += QStringLiteral("  ") + text(d.isChangeBoot ? "cliSwitchable" : "cliSwitchByHand");
        } else {
            line += QStringLiteral("  ") + text("cliBootloaderMode");
        }
        print(o, line, json);
    }
    return Success;
}

int FlashwellCli::pickDevice(const Options &o, SFenwykDevicePtr &device, bool &bootloader)
{
    discover();
    const QList<Found> found = m_session->devices.found();
    if (!o.positional.isEmpty()) {
        std::optional<Found> chosen;
        const QString wanted = o.positional.first();
        static const QRegularExpression ids(QStringLiteral("^([0-9A-Fa-f]{1,4}):([0-9A-Fa-f]{1,4})$"));
        const auto match = ids.match(wanted);
        bool isIndex = false;
        const int index = wanted.toInt(&isIndex);
        if (match.hasMatch()) {
            const uint16_t vid = static_cast<uint16_t>(match.captured(1).toUInt(nullptr, 16));
            const uint16_t pid = static_cast<uint16_t>(match.captured(2).toUInt(nullptr, 16));
            for (const Found &f : found) {
                if (f.vid == vid && f.pid == pid) {
                    chosen = f;
                    break;
                }
            }
        } else if (isIndex) {
            if (index >= 1 && index <= found.size())
                chosen = found[index - 1];
        } else {
            return fail(o, BadUsage, text("cliBadDevice").arg(wanted));
        }
        if (!chosen)
            return fail(o, NoSuchDevice, text("cliNoSuchDevice").arg(wanted));
        if (chosen->device) {
            if (!o.product.isEmpty())
                return fail(o, BadUsage, text("cliProductForBootloaderOnly"));
            bootloader = false;
            device = chosen->device;
            return Success;
        }
    } else {
        // --product alone: the one bootloader attached.
        const auto boots = std::count_if(found.begin(), found.end(), [](const Found &f) { return !f.device; });
        if (boots == 0)
            return fail(o, NoSuchDevice, text("cliNoBootloader"));
        if (boots > 1)
            return fail(o, BadUsage, text("cliSeveralBootloaders"));
    }

    bootloader = true;
    if (o.product.isEmpty())
        return fail(o, BadUsage, text("cliBootloaderNeedsProduct").arg(o.positional.value(0)));
    // The chooser's choice: a record whose only field is the catalogue entry.
    static const QString maker = QStringLiteral("Fenwyk ");
    auto bare = [](const QString &name) {
        return (name.startsWith(maker, Qt::CaseInsensitive) ? name.mid(maker.size()) : name).trimmed();
    };
    // Every product by its own name, including those the chooser shows under a product of the same
    // firmware type.
    for (const SFenwykDataDetailsPtr &entry : SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs()) {
        for (const QString &name : {entry->name(), entry->storedName()}) {
            if (bare(name).compare(bare(o.product), Qt::CaseInsensitive) == 0) {
                device = std::make_shared<SFenwykDevice>();
                device->setDetails(entry);
                return Success;
            }
        }
    }
    return fail(o, BadUsage, text("cliUnknownProduct").arg(o.product));
}

// Shows the update screen for the device, as the window's root controller does, and waits for
// its release list.
int FlashwellCli::loadReleases(const Options &o, const SFenwykDevicePtr &device, bool bootloader)
{
    UpdateSessionController &c = m_session->controller;
    // A bootloader's product was named by hand, as in the window's chooser.
    m_session->host.show(device, bootloader ? UpdateHost::Origin::ChosenByHand : UpdateHost::Origin::Attached);
    const bool answered = waitFor(
        [&] { return m_env.client->inFlight() == 0 && (c.updateFirmwaers() || m_env.client->listEnd().has_value()); },
        kListTimeoutMs);
    if (m_stop)
        return fail(o, Failure, text("cliStopped"));
    if (!answered)
        return fail(o, Failure, text("cliListTimeout"));
    if (!c.updateFirmwaers()) {
        const auto &error = m_env.client->lastError();
        if (m_env.client->listEnd() == RequestEnd::Error && error)
            return fail(o, Failure, text("cliListFailed").arg(error->description));
        return fail(o, Failure, text("cliNoList"));
    }
    return Success;
}

// --- releases ---

int FlashwellCli::releases(const Options &o)
{
    SFenwykDevicePtr device;
    bool bootloader = false;
    if (const int status = pickDevice(o, device, bootloader); status != Success)
        return status;
    if (const int status = loadReleases(o, device, bootloader); status != Success)
        return status;
    const UpdateSessionController &c = m_session->controller;
    const QList<Firmware> &list = *c.updateFirmwaers();
    if (list.isEmpty()) {
        print(o, text("cliNoReleases").arg(deviceName(device)), QJsonObject{{QStringLiteral("releases"), 0}});
        return Success;
    }
    for (const ReleaseRow &row : c.model().rows) {
        const auto release = c.releaseAt(row.tag);
        if (!release)
            continue;
        QString line = QStringLiteral("%1  %2").arg(row.tag + 1).arg(row.name);
        if (!row.newMark.isEmpty())
            line += QStringLiteral("  ") + row.newMark;
        print(o, line,
              QJsonObject{{QStringLiteral("index"), row.tag + 1},
                          {QStringLiteral("version"), firmware_version::number(release->version)},
                          {QStringLiteral("beta"), release->beta},
                          {QStringLiteral("date"), release->date},
                          {QStringLiteral("file"), release->fileName()},
                          {QStringLiteral("size"), release->fileSize},
                          {QStringLiteral("text"), row.name},
                          {QStringLiteral("new"), !row.newMark.isEmpty()}});
    }
    return Success;
}

// --- update ---

void FlashwellCli::printGuide(const Options &o, bool error)
{
    const SFenwykDevicePtr device = m_session->controller.model().guideDevice;
    const QStringList lines = device ? guide_table::lines(*device, error) : QStringList();
    QJsonArray array;
    QString block = text(error ? "cliGuideAfterFailure" : "cliGuide");
    for (const QString &line : lines) {
        array.append(line);
        block += QStringLiteral("\n  ") + line;
    }
    if (!error)
        block += QLatin1Char('\n') + text("cliWaitingForDevice");
    print(o, block,
          QJsonObject{{QStringLiteral("event"), QStringLiteral("guide")},
                      {QStringLiteral("error"), error},
                      {QStringLiteral("lines"), array}});
}

void FlashwellCli::showProgress(const Options &o, int percent)
{
    if (percent == m_lastProgress)
        return;
    const int previous = m_lastProgress;
    m_lastProgress = percent;
    if (o.json) {
        print(o, {},
              QJsonObject{{QStringLiteral("event"), QStringLiteral("progress")}, {QStringLiteral("percent"), percent}});
    } else if (m_env.terminal) {
        constexpr int kWidth = 40;
        const int filled = percent * kWidth / 100;
        m_env.out(QStringLiteral("\r[%1%2] %3 %")
                      .arg(QString(filled, QLatin1Char('#')), QString(kWidth - filled, QLatin1Char('-')))
                      .arg(percent, 3));
    } else if (previous < 0 || percent / 10 != previous / 10) {
        // Not a terminal (a log, a pipe): one line per tenth.
        m_env.out(text("cliWritten").arg(percent) + QLatin1Char('\n'));
    }
}

int FlashwellCli::update(const Options &o)
{
    // The window, or a second update from a terminal, would talk to the same devices.
    std::optional<QLockFile> lock;
    if (!m_env.deviceLockPath.isEmpty()) {
        QDir().mkpath(QFileInfo(m_env.deviceLockPath).absolutePath());
        lock.emplace(m_env.deviceLockPath);
        lock->setStaleLockTime(0); // a lock left by a process that died is taken over
        if (!lock->tryLock(0)) {
            if (lock->error() == QLockFile::LockFailedError)
                return fail(o, Failure, text("cliDevicesBusy"));
            lock.reset(); // no lock can be made here at all: the update goes on, as the window does
        }
    }

    // VERSION[-beta N]
    std::optional<firmware_version::Wanted> wanted;
    if (!o.release.isEmpty()) {
        wanted = firmware_version::parseWanted(o.release);
        if (!wanted)
            return fail(o, BadUsage, text("cliBadRelease").arg(o.release));
    }

    SFenwykDevicePtr device;
    bool bootloader = false;
    if (const int status = pickDevice(o, device, bootloader); status != Success)
        return status;
    if (const int status = loadReleases(o, device, bootloader); status != Success)
        return status;
    UpdateSessionController &c = m_session->controller;
    const QList<Firmware> &list = *c.updateFirmwaers();
    const QString name = deviceName(device);
    if (list.isEmpty())
        return fail(o, Failure, text("cliNoReleases").arg(name));

    int row = 0; // the screen checks the top row
    if (wanted) {
        row = -1;
        for (int i = 0; i < list.size(); ++i) {
            if (firmware_version::number(list[i].version) == wanted->number && list[i].beta == wanted->beta) {
                row = i;
                break;
            }
        }
        if (row < 0)
            return fail(o, Failure, text("cliUnknownRelease").arg(o.release, name));
    }
    const Firmware release = list[row];
    const QString to = firmware_version::text(release.version, release.beta);
    const QString from = bootloader || device->version() == 0.0f
                             ? text("cliUnknownVersion")
                             : firmware_version::text(device->version(), device->beta);

    if (!o.yes) {
        m_env.err(text("cliConfirm").arg(to, name, from));
        const std::optional<QString> answer = m_env.readLine ? m_env.readLine() : std::nullopt;
        const QString a = answer.value_or(QString()).trimmed().toLower();
        const bool agreed = a == QLatin1String("y") || a == QLatin1String("yes") || a == text("cliYesWord");
        if (!agreed || m_stop)
            return fail(o, Failure, text("cliNotConfirmed"));
    }

    print(o, text("cliDownloading").arg(release.fileName()),
          QJsonObject{{QStringLiteral("event"), QStringLiteral("start")},
                      {QStringLiteral("device"), name},
                      {QStringLiteral("from"), from},
                      {QStringLiteral("to"), to},
                      {QStringLiteral("file"), release.fileName()}});

    std::optional<QString> alert;
    std::optional<AttemptEnd> ended;
    int64_t waitingSince = -1;
    QObject guard;
    connect(&c, &UpdateSessionController::alertRequested, &guard,
            [&](const QString &button, const QString &message) { alert = message.isEmpty() ? button : message; });
    connect(&c, &UpdateSessionController::guideShown, &guard, [&](bool error) {
        printGuide(o, error);
        if (!error)
            waitingSince = now();
    });
    connect(&c, &UpdateSessionController::progress, &guard, [&](int percent) {
        if (m_lastProgress < 0) {
            waitingSince = -1;
            print(o, text("cliWriting"), QJsonObject{{QStringLiteral("event"), QStringLiteral("writing")}});
        }
        showProgress(o, percent);
    });
    connect(&c, &UpdateSessionController::attemptEnded, &guard, [&](const AttemptEnd &end) { ended = end; });

    c.chengeboxClick(row);
    c.SButtonClick(UpdateSessionController::Button::Update);
    m_env.runUntil([&] { return ended || m_stop || (waitingSince >= 0 && now() - waitingSince >= kManualWaitMs); });

    if (m_lastProgress >= 0 && m_env.terminal && !o.json)
        m_env.out(QStringLiteral("\n"));
    if (!ended) {
        const QString why = text(m_stop ? "cliStopped" : "cliGaveUpWaiting");
        c.stopAttempt(AttemptEnd::Cause::Stopped, why);
        return fail(o, Failure, why);
    }
    if (const UpdateHistoryRecorder *recorder = m_session->host.recorder();
        recorder && !recorder->lastError().isEmpty())
        m_env.err(text("cliHistoryWriteFailed").arg(recorder->lastError()) + QLatin1Char('\n'));
    if (ended->outcome != AttemptEnd::Outcome::Success)
        return fail(o, Failure, text("cliFailed").arg(alert.value_or(ended->reason)));
    m_lastProgress = -1;
    print(o, text("cliSuccess").arg(name, to),
          QJsonObject{{QStringLiteral("result"), QStringLiteral("success")},
                      {QStringLiteral("device"), name},
                      {QStringLiteral("from"), from},
                      {QStringLiteral("to"), to},
                      {QStringLiteral("file"), release.fileName()}});
    return Success;
}

void FlashwellCli::interrupt()
{
    const bool writing = m_session && m_session->controller.state() == UpdateSessionController::kStateWriting;
    if (writing && !m_stopAsked) {
        m_stopAsked = true;
        m_env.err(QStringLiteral("\n") + text("cliStopAsk") + QLatin1Char('\n'));
        return;
    }
    m_stop = true;
}

// --- report ---

int FlashwellCli::report(const Options &o)
{
    const SupportReport r = SupportReport::gather(SupportReport::Options{});
    print(o, r.text(), r.json());
    return Success;
}

// --- history ---

int FlashwellCli::history(const Options &o)
{
    const UpdateHistory::Contents contents = UpdateHistory(m_env.historyPath).read();
    if (!contents.error.isEmpty())
        return fail(o, Failure, text("cliHistoryUnreadable").arg(contents.error));
    if (contents.records.isEmpty())
        print(o, text("cliHistoryEmpty"), QJsonObject{{QStringLiteral("records"), 0}});
    for (const UpdateHistoryRecord &r : contents.records) {
        static const char *const kOutcomeKeys[] = {"historySuccess", "historyFailed", "historyCancelled",
                                                   "historyInterrupted"};
        QString line = QStringLiteral("%1  %2 (%3:%4)  %5 -> %6  %7  %8")
                           .arg(r.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), r.deviceName,
                                hex4(r.vid), hex4(r.pid), r.fromVersion.isEmpty() ? QStringLiteral("?") : r.fromVersion,
                                r.toVersion, r.fileName, text(kOutcomeKeys[static_cast<int>(r.outcome)]));
        if (!r.error.isEmpty())
            line += QStringLiteral(": ") + r.error;
        print(o, line, r.toJson());
    }
    if (contents.skippedLines > 0) {
        const QString warning = text("cliHistorySkipped").arg(contents.skippedLines);
        if (o.json)
            print(
                o, {},
                QJsonObject{{QStringLiteral("warning"), warning}, {QStringLiteral("skipped"), contents.skippedLines}});
        else
            m_env.err(warning + QLatin1Char('\n'));
    }
    return Success;
}

} // namespace flashwell::cli
