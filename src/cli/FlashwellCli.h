#pragma once

#include "update/UpdateSessionController.h"

#include <QJsonObject>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace flashwell {
class CommandLine;
class ObservingCatalogueClient;
}

namespace flashwell::cli {

// flashwell-cli: the update workflow from a terminal or a script. Every command runs the
// product's own watchers, sessions and update controller (the ones the window runs); this class
// only reads the command line, drives the controller as the window's user would and prints.
// Platform, server, history file, input and output are handed in, so tests run it in process on
// the virtual bus in virtual time.
class FlashwellCli final : public QObject
{
    Q_OBJECT
public:
    enum Status { Success = 0, Failure = 1, BadUsage = 2, NoSuchDevice = 3 };

    struct Environment
    {
        // The platform, the bootloader sessions and `client` as the server.
        UpdateServices update;
        ObservingCatalogueClient *client = nullptr;
        QString historyPath;
        // The lock held while updating (see instance_lock); empty for none.
        QString deviceLockPath;
        // Runs the event loop (and, in tests, virtual time) until `done` holds.
        std::function<void(const std::function<bool()> &done)> runUntil;
        // One line of the user's answer; none at the end of input.
        std::function<std::optional<QString>()> readLine;
        std::function<void(const QString &text)> out;
        std::function<void(const QString &text)> err;
        // Standard output is a terminal: a progress bar instead of progress lines.
        bool terminal = false;
        // Called with each command's update controller as it is made (the recording watches it).
        std::function<void(UpdateSessionController &controller)> controllerMade;
    };

    // How long the watchers are given to find devices, in scheduler time; a device found but not
    // yet identified by then is waited for up to kDiscoveryLimitMs (a loaded machine answers late).
    static constexpr int64_t kDiscoveryMs = 1500;
    static constexpr int64_t kDiscoveryLimitMs = 15000;
    // How long a release list may take.
    static constexpr int64_t kListTimeoutMs = 60000;
    // How long the update waits for a device switched by hand.
    static constexpr int64_t kManualWaitMs = int64_t{15} * 60 * 1000;

    explicit FlashwellCli(Environment environment, QObject *parent = nullptr);
    ~FlashwellCli() override;

    // `args` without the program name; returns the exit status.
    int run(const QStringList &args);
    // Ctrl-C. While firmware is being written the first one only asks for a second.
    void interrupt();

    static QString usage();

private:
    struct Session;
    struct Options;

    // The options, read into `o`.
    static CommandLine commandLine(Options &o);

    int devices(const Options &o);
    int releases(const Options &o);
    int update(const Options &o);
    int history(const Options &o);
    int report(const Options &o);

    int fail(const Options &o, int status, const QString &message);
    void print(const Options &o, const QString &text, const QJsonObject &json);
    bool waitFor(const std::function<bool()> &done, int64_t timeoutMs);
    // Runs the watchers until discovery has settled (see kDiscoveryMs).
    void discover();
    int64_t now() const;
    // Resolves DEVICE (and --product) after discovery; returns a status other than Success on error.
    int pickDevice(const Options &o, SFenwykDevicePtr &device, bool &bootloader);
    int loadReleases(const Options &o, const SFenwykDevicePtr &device, bool bootloader);
    void printGuide(const Options &o, bool error);
    void showProgress(const Options &o, int percent);

    Environment m_env;
    std::unique_ptr<Session> m_session;
    bool m_stop = false;
    bool m_stopAsked = false;
    int m_lastProgress = -1;
};

} // namespace flashwell::cli
