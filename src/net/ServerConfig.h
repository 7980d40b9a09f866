#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace flashwell {

// Where the firmware servers and the IP-echo pages are. The defaults are ours; the settings
// "ServerPrimary", "ServerChina", "ServerBeta", "IpEchoPage1", "IpEchoPage2" and "DownloadsRoot"
// override them, and tests and the demo install a whole configuration pointing at loopback.
struct ServerConfig
{
    QUrl primary; // base URLs end in "/"
    QUrl china;
    QUrl beta;
    QUrl ipEchoPage1;      // read as UTF-8
    QUrl ipEchoPage2;      // read as ASCII
    QString downloadsRoot; // empty: the user's Downloads directory
    // A request with nothing received for this long fails (the IP-echo pages keep their own).
    int transferTimeoutMs = 60 * 1000;

    static ServerConfig defaults();
    static ServerConfig current();
    static void install(std::optional<ServerConfig> config);
};

} // namespace flashwell
