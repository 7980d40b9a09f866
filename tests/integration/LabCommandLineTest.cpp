// The lab's command line through the real program: the firmware-server client commands against
// the lab server on loopback, and the result line of `flash` being the last line.
#include "models/FirmwareFileBuilder.h"
#include "server/LabFirmwareServer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <ostream>

#include <gtest/gtest.h>

#include "support/EventLoop.h"
#include "support/TestSupport.h"

#ifdef FLASHWELL_LAB_PATH

using flashwell::lab::LabFirmwareServer;
using flashwell::test::waitUntil;

namespace {

struct LabOutput
{
    int status = -1;
    QList<QJsonObject> lines; // standard output, one object a line
    QByteArray out;
    QByteArray err;
};

// Runs flashwell-lab with a home of its own (so a settings file it wrote would be found there)
// while this process's event loop keeps the lab server answering.
LabOutput runLab(const QStringList &args, const QString &home)
{
    QProcess lab;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    for (const char *proxy : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        env.remove(QString::fromLatin1(proxy));
    lab.setProcessEnvironment(env);
    lab.start(QStringLiteral(FLASHWELL_LAB_PATH), args);
    LabOutput o;
    if (!lab.waitForStarted(10'000) || !waitUntil([&] { return lab.state() == QProcess::NotRunning; }, 60'000)) {
        lab.kill();
        lab.waitForFinished();
        return o;
    }
    o.status = lab.exitStatus() == QProcess::NormalExit ? lab.exitCode() : -1;
    o.out = lab.readAllStandardOutput();
    o.err = lab.readAllStandardError();
    for (const QByteArray &line : o.out.split('\n'))
        if (!line.isEmpty())
            o.lines.append(QJsonDocument::fromJson(line).object());
    return o;
}

QJsonObject release(int id, int type, double version, int beta, const char *fileName)
{
    return {{QStringLiteral("id"), id},
            {QStringLiteral("type"), type},
            {QStringLiteral("version"), version},
            {QStringLiteral("beta"), beta},
            {QStringLiteral("date"), QStringLiteral("2026-11-30")},
            {QStringLiteral("fileName"), QString::fromLatin1(fileName)},
            {QStringLiteral("md5"), QStringLiteral("9e107d9d372bb6826bd81d3542a419d6")},
            {QStringLiteral("readme"), QStringLiteral("修复")},
            {QStringLiteral("readme_en"), QStringLiteral("Fixes")}};
}

class LabClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        server.addRelease(release(41, 2, 5.02, 0, "fw502.bin"), flashwell::lab::patternBytes(4096, 3));
        server.addRelease(release(42, 2, 5.1, 1, "fw510.bin"), flashwell::lab::patternBytes(5000, 4));
        server.addRelease(release(43, 9, 1.0, 0, "other.bin"), flashwell::lab::patternBytes(2500, 5));
    }
    QString url() const { return server.baseUrl().toString(); }
    LabOutput lab(const QStringList &args) { return runLab(args, home.path()); }
    // Every file under the lab's home: a lab run must leave none.
    QStringList filesInHome() const
    {
        QStringList files;
        QDirIterator it(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        return files;
    }

    LabFirmwareServer server;
    QTemporaryDir home;
    QTemporaryDir downloads;
};

} // namespace

TEST_F(LabClientTest, ReleasesPrintsEveryPropertyOfEveryRelease)
{
    // With and without the trailing slash, with the beta switch and a language: the same request.
    for (const QString &base : {url(), url().chopped(1)}) {
        server.clearRequests();
        const LabOutput o =
            lab({QStringLiteral("releases"), QStringLiteral("--type"), QStringLiteral("2"), QStringLiteral("--server"),
                 base, QStringLiteral("--beta-builds"), QStringLiteral("--language"), QStringLiteral("zh-Hans")});
        ASSERT_EQ(o.status, 0) << o.err.constData();
        ASSERT_EQ(o.lines.size(), 2) << o.out.constData();
        const QJsonObject first = o.lines[0];
        EXPECT_EQ(first.keys(), (flashwell::test::strings({"beta", "date", "fileName", "fileSize", "fileURL", "id",
                                                           "md5", "readme", "readme_en", "type", "version"})));
        EXPECT_EQ(first.value(QStringLiteral("id")).toInt(), 41);
        EXPECT_EQ(first.value(QStringLiteral("version")).toDouble(), 5.02) << "printed as the float reads";
        EXPECT_EQ(first.value(QStringLiteral("fileName")).toString(), QStringLiteral("fw502.bin"));
        EXPECT_EQ(first.value(QStringLiteral("fileSize")).toInt(), 4096);
        EXPECT_EQ(first.value(QStringLiteral("readme")).toString(), QStringLiteral("修复"));
        EXPECT_EQ(o.lines[1].value(QStringLiteral("beta")).toInt(), 1);
        const auto select = server.requestsTo("/firmware/select");
        ASSERT_EQ(select.size(), 1) << qPrintable(base);
        EXPECT_EQ(select[0].method, "POST");
        EXPECT_EQ(select[0].header("type"), "2");
    }
    EXPECT_EQ(filesInHome(), QStringList()) << "the beta switch and the language stay out of the user's settings";
}

struct ReleasesFailure
{
    const char *what;
    void (*arrange)(LabFirmwareServer &);
    bool serverDown;
    const char *message;
};

// Test names and failure messages show the case, not its bytes.
inline void PrintTo(const ReleasesFailure &c, std::ostream *os)
{
    *os << c.what;
}

class LabReleasesFailure : public LabClientTest, public ::testing::WithParamInterface<ReleasesFailure>
{
};

TEST_P(LabReleasesFailure, SaysWhyOnStandardErrorWithStatusOne)
{
    GetParam().arrange(server);
    QString base = url();
    if (GetParam().serverDown) {
        QTcpServer closed; // a port that was free a moment ago and is closed now
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
        base = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
        closed.close();
    }
    const LabOutput o = lab(
        {QStringLiteral("releases"), QStringLiteral("--type"), QStringLiteral("2"), QStringLiteral("--server"), base});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.out.isEmpty()) << o.out.constData();
    EXPECT_TRUE(o.err.contains(GetParam().message)) << o.err.constData();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LabReleasesFailure,
    ::testing::Values(ReleasesFailure{"non-JSON", [](LabFirmwareServer &s) { s.faults.nonJson = true; }, false,
                                      "the server gave no list"},
                      ReleasesFailure{"msgState 0", [](LabFirmwareServer &s) { s.faults.msgState0 = true; }, false,
                                      "the server gave no list"},
                      ReleasesFailure{"HTTP 500 page", [](LabFirmwareServer &s) { s.faults.http500 = true; }, false,
                                      "the server gave no list"},
                      ReleasesFailure{"connection refused", [](LabFirmwareServer &) {}, true, "Connection refused"}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

TEST_F(LabClientTest, NewestPrintsOneReleaseOrNothing)
{
    LabOutput o =
        lab({QStringLiteral("newest"), QStringLiteral("--type"), QStringLiteral("2"), QStringLiteral("--version"),
             QStringLiteral("1.2"), QStringLiteral("--beta"), QStringLiteral("3"), QStringLiteral("--server"), url()});
    ASSERT_EQ(o.status, 0) << o.err.constData();
    ASSERT_EQ(o.lines.size(), 1) << o.out.constData();
    EXPECT_EQ(o.lines[0].value(QStringLiteral("id")).toInt(), 42);
    const auto asked = server.requestsTo("/firmware/loadNewVersion");
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].header("version"), "1.200000");
    EXPECT_EQ(asked[0].header("beta"), "3");
    EXPECT_EQ(asked[0].header("isLoadBeta"), "1");

    o = lab({QStringLiteral("newest"), QStringLiteral("--type"), QStringLiteral("77"), QStringLiteral("--version"),
             QStringLiteral("1"), QStringLiteral("--beta"), QStringLiteral("0"), QStringLiteral("--server"), url()});
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(o.out.isEmpty()) << "no release of that type: nothing";

    // A device that already runs the newest release (5.10 beta 1) is offered nothing.
    o = lab({QStringLiteral("newest"), QStringLiteral("--type"), QStringLiteral("2"), QStringLiteral("--version"),
             QStringLiteral("5.1"), QStringLiteral("--beta"), QStringLiteral("1"), QStringLiteral("--server"), url()});
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(o.out.isEmpty()) << "up to date: nothing, not " << o.out.constData();
}

TEST_F(LabClientTest, DownloadFillsTheCacheOrPrintsTheError)
{
    const QStringList common{QStringLiteral("--server"), url(), QStringLiteral("--downloads"), downloads.path()};
    LabOutput o =
        lab(QStringList{QStringLiteral("download"), QStringLiteral("--file-url"),
                        QStringLiteral("http://files.fenwyk.example/firmware/fw502.bin"), QStringLiteral("--id"),
                        QStringLiteral("41"), QStringLiteral("--size"), QStringLiteral("4096")}
            + common);
    ASSERT_EQ(o.status, 0) << o.err.constData();
    ASSERT_EQ(o.lines.size(), 1);
    const QString path = o.lines[0].value(QStringLiteral("path")).toString();
    EXPECT_EQ(path, downloads.filePath(QStringLiteral("Fenwyk Flashwell/fw502.bin")));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), flashwell::lab::patternBytes(4096, 3));
    const auto reports = server.requestsTo("/firmware/StatisticsFirmware");
    ASSERT_EQ(reports.size(), 1) << "the download report is sent before the command ends";
    EXPECT_EQ(reports[0].header("id"), "41");

    // A digest that the file does not have: the download fails and nothing is left to flash.
    o = lab(QStringList{QStringLiteral("download"), QStringLiteral("--file-url"),
                        QStringLiteral("http://files.fenwyk.example/firmware/fw502.bin"), QStringLiteral("--id"),
                        QStringLiteral("41"), QStringLiteral("--size"), QStringLiteral("4096"), QStringLiteral("--md5"),
                        QStringLiteral("0123456789abcdef0123456789abcdef")}
            + common);
    EXPECT_EQ(o.status, 1);
    ASSERT_EQ(o.lines.size(), 1);
    EXPECT_EQ(o.lines[0].value(QStringLiteral("code")).toInt(), 1014);
    EXPECT_FALSE(QFile::exists(path));

    o = lab(QStringList{QStringLiteral("download"), QStringLiteral("--file-url"), QStringLiteral("http://x/fw510.bin"),
                        QStringLiteral("--id"), QStringLiteral("42"), QStringLiteral("--size"), QStringLiteral("5001")}
            + common);
    EXPECT_EQ(o.status, 1);
    ASSERT_EQ(o.lines.size(), 1);
    EXPECT_EQ(o.lines[0].value(QStringLiteral("code")).toInt(), 1010);
    EXPECT_FALSE(o.lines[0].value(QStringLiteral("error")).toString().isEmpty());
    EXPECT_FALSE(QFile::exists(downloads.filePath(QStringLiteral("Fenwyk Flashwell/fw510.bin"))));
}

TEST_F(LabClientTest, BadUsageGivesStatusTwoAndAUsageLine)
{
    for (const QStringList &bad : {
             flashwell::test::strings({"releases"}),
             flashwell::test::strings({"releases", "--type", "two"}),
             flashwell::test::strings({"releases", "--type", "2", "--beta"}),
             flashwell::test::strings({"releases", "--type", "2", "--server"}),
             flashwell::test::strings({"releases", "--type", "2", "--server", "not a url"}),
             flashwell::test::strings({"newest", "--type", "2", "--version", "x", "--beta", "0"}),
             flashwell::test::strings({"newest", "--type", "2", "--version", "1.0"}),
             flashwell::test::strings({"download", "--file-url", "http://x/a.bin", "--id", "1"}),
             flashwell::test::strings({"download", "--file-url", "http://x/a.bin", "--id", "1", "--size", "4k"}),
             flashwell::test::strings(
                 {"download", "--file-url", "http://x/a.bin", "--id", "1", "--size", "9", "--language", "en"}),
         }) {
        const LabOutput o = lab(bad);
        EXPECT_EQ(o.status, 2) << qPrintable(bad.join(u' '));
        EXPECT_TRUE(o.err.contains(QByteArray(QByteArray("usage: flashwell-lab ") + bad.first().toLatin1())))
            << o.err.constData();
        EXPECT_TRUE(o.out.isEmpty());
    }
    EXPECT_TRUE(server.requests().isEmpty());
    const LabOutput help = lab({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    for (const char *command : {"  releases --type N", "  newest --type N", "  download --file-url URL"})
        EXPECT_TRUE(help.out.contains(command)) << command;
}

struct FlashEnd
{
    const char *what;
    QStringList args;
    int status;
    const char *message; // of the result line
};

inline void PrintTo(const FlashEnd &c, std::ostream *os)
{
    *os << c.what;
}

class LabFlashResultLast : public ::testing::TestWithParam<FlashEnd>
{
};

// Whatever the run still causes after its outcome (the device leaving, a reset), the result line
// is the last line on standard output, and the only one.
TEST_P(LabFlashResultLast, TheResultLineIsTheLastLine)
{
    QTemporaryDir dir;
    flashwell::lab::ClassicFirmware fw;
    fw.version = 502;
    fw.data = flashwell::lab::patternBytes(600, 9);
    const QString file = flashwell::test::writeTempFile(dir, fw.build());
    const LabOutput o =
        runLab(QStringList{QStringLiteral("flash"), QStringLiteral("--file"), file} + GetParam().args, dir.path());
    EXPECT_EQ(o.status, GetParam().status) << o.err.constData();
    ASSERT_GE(o.lines.size(), 2) << o.out.constData();
    for (qsizetype i = 0; i + 1 < o.lines.size(); ++i)
        EXPECT_TRUE(o.lines[i].contains(QStringLiteral("event"))) << o.out.constData();
    const QJsonObject last = o.lines.back();
    EXPECT_EQ(last.value(QStringLiteral("result")).toString(),
              GetParam().status == 0 ? QStringLiteral("success") : QStringLiteral("failed"));
    EXPECT_TRUE(last.value(QStringLiteral("message")).toString().contains(QString::fromUtf8(GetParam().message)))
        << o.out.constData();
    EXPECT_TRUE(o.out.contains("SHIDBootRemoveDevice")) << "the device's leaving is still reported, before the result";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LabFlashResultLast,
    ::testing::Values(
        FlashEnd{"success", flashwell::test::strings({"--bootloader", "classic"}), 0, "update finished"},
        FlashEnd{"stalled", flashwell::test::strings({"--bootloader", "classic", "--fault", "drop-reply:3"}), 1,
                 "stalled"},
        FlashEnd{"unplugged", flashwell::test::strings({"--bootloader", "classic", "--fault", "unplug-after:5"}), 1,
                 "stalled"},
        FlashEnd{"send failed", flashwell::test::strings({"--bootloader", "classic", "--fault", "fail-send:5"}), 1,
                 "could not be sent"},
        FlashEnd{"error callback", flashwell::test::strings({"--bootloader", "second-gen"}), 1,
                 "firmware is for product"}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

struct LabWords
{
    const char *what;
    QStringList args;
    int status;
    const char *out; // standard output starts with this
    const char *err; // standard error starts with this
};

inline void PrintTo(const LabWords &c, std::ostream *os)
{
    *os << c.what;
}

class LabOptions : public ::testing::TestWithParam<LabWords>
{
};

// The program's own options, and each command's words for a bad option, with their status.
TEST_P(LabOptions, AnsweredBeforeAnythingRuns)
{
    QTemporaryDir home;
    const LabOutput o = runLab(GetParam().args, home.path());
    EXPECT_EQ(o.status, GetParam().status) << o.err.constData();
    // An empty expectation: nothing on that stream.
    EXPECT_TRUE(*GetParam().out ? o.out.startsWith(GetParam().out) : o.out.isEmpty()) << o.out.constData();
    EXPECT_TRUE(*GetParam().err ? o.err.startsWith(GetParam().err) : o.err.isEmpty()) << o.err.constData();
}

INSTANTIATE_TEST_SUITE_P(
    Program, LabOptions,
    ::testing::Values(
        LabWords{"help", flashwell::test::strings({"--help"}), 0, "usage: flashwell-lab <command> [options]\n", ""},
        LabWords{"short help", flashwell::test::strings({"-h", "flash"}), 0, "usage: flashwell-lab", ""},
        LabWords{"version", flashwell::test::strings({"--version"}), 0, "flashwell-lab ", ""},
        LabWords{"no command", {}, 2, "", "usage: flashwell-lab"},
        LabWords{"unknown command", flashwell::test::strings({"frobnicate"}), 2, "", "usage: flashwell-lab"},
        LabWords{"unknown option", flashwell::test::strings({"--json", "discover"}), 2, "", "usage: flashwell-lab"},
        LabWords{"update's own version", flashwell::test::strings({"update", "--version", "1.234"}), 2, "",
                 "flashwell-lab update: --version needs a version such as 1.02\nusage: flashwell-lab update"}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

INSTANTIATE_TEST_SUITE_P(
    Commands, LabOptions,
    ::testing::Values(
        LabWords{"flash unknown option", flashwell::test::strings({"flash", "--bootloader", "classic", "stray"}), 2, "",
                 "flashwell-lab flash: unknown option stray\n"},
        LabWords{"flash missing value", flashwell::test::strings({"flash", "--file", "f", "--bootloader"}), 2, "",
                 "flashwell-lab flash: --bootloader needs a value\n"},
        LabWords{"flash bad number", flashwell::test::strings({"flash", "--usb-pid", "zz", "--bogus"}), 2, "",
                 "flashwell-lab flash: --usb-pid needs a 16-bit hex number\n"},
        LabWords{"flash hex too large", flashwell::test::strings({"flash", "--info-pid", "0x10000"}), 2, "",
                 "flashwell-lab flash: --info-pid needs a 16-bit hex number\n"},
        LabWords{"flash dev id", flashwell::test::strings({"flash", "--dev-id", "385"}), 2, "",
                 "flashwell-lab flash: --dev-id is 386 or 387\n"},
        LabWords{"flash fault", flashwell::test::strings({"flash", "--fault", "boom:1"}), 2, "",
                 "flashwell-lab flash: unknown fault boom (drop-reply, corrupt-write, unplug-after, fail-send)\n"},
        LabWords{"flash fault count", flashwell::test::strings({"flash", "--fault", "drop-reply:0"}), 2, "",
                 "flashwell-lab flash: --fault takes KIND:N with N >= 1\n"},
        LabWords{"flash needs a bootloader", flashwell::test::strings({"flash", "--file", "f"}), 2, "",
                 "flashwell-lab flash: --bootloader is required (classic, second-gen, hjz)\n"},
        LabWords{"update empty folder", flashwell::test::strings({"update", "--downloads", ""}), 2, "",
                 "flashwell-lab update: --downloads needs a folder\n"},
        LabWords{"update row", flashwell::test::strings({"update", "--row", "100001"}), 2, "",
                 "flashwell-lab update: --row needs a number\n"},
        LabWords{"update needs a server", flashwell::test::strings({"update", "--pid", "3011"}), 2, "",
                 "flashwell-lab update: --server is required\n"},
        LabWords{"replay two recordings", flashwell::test::strings({"replay", "a.jsonl", "b.jsonl", "--bogus"}), 2, "",
                 "flashwell-lab replay: one recording at a time (b.jsonl is one too many)\n"},
        LabWords{"replay speed", flashwell::test::strings({"replay", "a.jsonl", "--speed"}), 2, "",
                 "flashwell-lab replay: --speed is real or virtual\n"},
        LabWords{"replay unknown option", flashwell::test::strings({"replay", "--all"}), 2, "",
                 "flashwell-lab replay: unknown option --all\n"},
        LabWords{"replay nothing", flashwell::test::strings({"replay"}), 2, "",
                 "flashwell-lab replay: name the recording to replay\n"},
        LabWords{"server missing value", flashwell::test::strings({"server", "--dir"}), 2, "",
                 "flashwell-lab server: --dir needs a value\n"},
        LabWords{"server bad port", flashwell::test::strings({"server", "--port", "http"}), 2, "",
                 "flashwell-lab server: bad option --port http\n"},
        LabWords{"server unknown option", flashwell::test::strings({"server", "--host", "x"}), 2, "",
                 "flashwell-lab server: bad option --host x\n"},
        LabWords{"build negative size", flashwell::test::strings({"build-firmware", "--out", "f", "--size", "-1"}), 2,
                 "", "flashwell-lab build-firmware: bad option --size -1\n"},
        LabWords{"build unknown option at the end", flashwell::test::strings({"build-firmware", "--bogus"}), 2, "",
                 "flashwell-lab build-firmware: --bogus needs a value\n"},
        LabWords{"build needs out", flashwell::test::strings({"build-firmware", "--version", "102"}), 2, "",
                 "flashwell-lab build-firmware: --out is required\n"},
        LabWords{"client missing value", flashwell::test::strings({"releases", "--type"}), 2, "",
                 "flashwell-lab releases: --type needs a value\nusage: flashwell-lab releases --type N"},
        LabWords{"client not a number", flashwell::test::strings({"newest", "--version", "x"}), 2, "",
                 "flashwell-lab newest: --version needs a number, not \"x\"\n"},
        LabWords{"discover seconds", flashwell::test::strings({"discover", "stray", "--hidapi", "--seconds", "0"}), 2,
                 "", "flashwell-lab discover: --seconds needs a positive number\n"}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

#endif
