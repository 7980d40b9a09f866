// Catches: a lab command that takes a bad option, answers on the wrong stream or status, or prints past its result.
#include "models/FirmwareFileBuilder.h"
#include "server/LabFirmwareServer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <ostream>

#include <gtest/gtest.h>

#include "UpdatePathCases.h"
#include "support/EventLoop.h"
#include "support/TestSupport.h"

#ifdef FLASHWELL_LAB_PATH

using flashwell::lab::LabFirmwareServer;
using flashwell::test::strings;
using flashwell::test::testName;
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
    QJsonObject json = flashwell::test::releaseJson(id, type, version, QString::fromLatin1(fileName), beta);
    json.insert(QStringLiteral("md5"), QStringLiteral("9e107d9d372bb6826bd81d3542a419d6"));
    return json;
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
        const LabOutput o =
            lab(strings({"releases", "--type", "2", "--beta-builds", "--language", "zh-Hans", "--server"}) << base);
        ASSERT_EQ(o.status, 0) << o.err.constData();
        ASSERT_EQ(o.lines.size(), 2) << o.out.constData();
        const QJsonObject first = o.lines[0];
        EXPECT_EQ(first.keys(), (strings({"beta", "date", "fileName", "fileSize", "fileURL", "id", "md5", "readme",
                                          "readme_en", "type", "version"})));
        EXPECT_EQ(first.value(QStringLiteral("id")).toInt(), 41);
        EXPECT_EQ(first.value(QStringLiteral("version")).toDouble(), 5.02) << "printed as the float reads";
        EXPECT_EQ(first.value(QStringLiteral("fileName")).toString(), QStringLiteral("fw502.bin"));
        EXPECT_EQ(first.value(QStringLiteral("fileSize")).toInt(), 4096);
        EXPECT_EQ(first.value(QStringLiteral("readme")).toString(), QStringLiteral("说明"));
        EXPECT_EQ(o.lines[1].value(QStringLiteral("beta")).toInt(), 1);
    }
    EXPECT_EQ(filesInHome(), QStringList()) << "the beta switch and the language stay out of the user's settings";
}

// A server that lists nothing and one that is not there: why, on standard error, with status 1.
TEST_F(LabClientTest, ReleasesSaysWhyItGotNoListWithStatusOne)
{
    QTcpServer closed; // a port that was free a moment ago and is closed now
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString down = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
    closed.close();
    server.faults.nonJson = true;
    for (const auto &[base, message] : {std::pair{url(), "the server gave no list"}, {down, "Connection refused"}}) {
        const LabOutput o = lab(strings({"releases", "--type", "2", "--server"}) << base);
        EXPECT_EQ(o.status, 1);
        EXPECT_TRUE(o.out.isEmpty()) << o.out.constData();
        EXPECT_TRUE(o.err.contains(message)) << o.err.constData();
    }
}

// One release, or nothing for a type without releases and for a device already up to date (5.10 beta 1).
TEST_F(LabClientTest, NewestPrintsOneReleaseOrNothing)
{
    const auto newest = [&](const char *type, const char *version, const char *beta) {
        return lab(strings({"newest", "--type", type, "--version", version, "--beta", beta, "--server"}) << url());
    };
    const LabOutput o = newest("2", "1.2", "3");
    ASSERT_EQ(o.status, 0) << o.err.constData();
    ASSERT_EQ(o.lines.size(), 1) << o.out.constData();
    EXPECT_EQ(o.lines[0].value(QStringLiteral("id")).toInt(), 42);
    for (const LabOutput &nothing : {newest("77", "1", "0"), newest("2", "5.1", "1")}) {
        EXPECT_EQ(nothing.status, 0);
        EXPECT_TRUE(nothing.out.isEmpty()) << nothing.out.constData();
    }
}

TEST_F(LabClientTest, DownloadFillsTheCacheOrPrintsTheError)
{
    const QStringList download = strings({"download", "--file-url", "http://files.fenwyk.example/firmware/fw502.bin",
                                          "--id", "41", "--size", "4096", "--server"})
                                 << url() << QStringLiteral("--downloads") << downloads.path();
    LabOutput o = lab(download);
    ASSERT_EQ(o.status, 0) << o.err.constData();
    ASSERT_EQ(o.lines.size(), 1);
    const QString path = o.lines[0].value(QStringLiteral("path")).toString();
    EXPECT_EQ(path, downloads.filePath(QStringLiteral("Fenwyk Flashwell/fw502.bin")));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), flashwell::lab::patternBytes(4096, 3));

    // A digest that the file does not have: the download fails and nothing is left to flash.
    o = lab(download + strings({"--md5", "0123456789abcdef0123456789abcdef"}));
    EXPECT_EQ(o.status, 1);
    ASSERT_EQ(o.lines.size(), 1);
    EXPECT_EQ(o.lines[0].value(QStringLiteral("code")).toInt(), 1014);
    EXPECT_FALSE(o.lines[0].value(QStringLiteral("error")).toString().isEmpty());
    EXPECT_FALSE(QFile::exists(path));
}

// flashwell-lab update: the states and events as lines, the result last, the flash dump; a stalled
// bootloader ends in state 7 through the real watchdog with the guide in its error form.
TEST_F(LabClientTest, UpdatePrintsStatesEventsAndTheResultLast)
{
    const flashwell::test::PathCase c = flashwell::test::classicPath();
    server.addRelease(flashwell::test::releaseJson(1, c.releaseType, 1.05, QStringLiteral("fw_V1.05.bin")), c.file);
    const QString dump = home.filePath(QStringLiteral("dump.json"));
    const QStringList update = strings({"update", "--server"}) << url()
                                                               << strings({"--pid", "3011", "--version", "1.00",
                                                                           "--bootloader", "classic", "--downloads"})
                                                               << downloads.path();
    LabOutput o = lab(update + (QStringList{QStringLiteral("--dump-flash")} << dump));
    EXPECT_EQ(o.status, 0) << o.err.constData();
    ASSERT_GE(o.lines.size(), 4);
    EXPECT_EQ(o.out.left(o.out.indexOf('\n')), QByteArray(R"({"state":0})"));
    EXPECT_EQ(o.lines.back().value(QStringLiteral("result")).toString(), QStringLiteral("success"));
    EXPECT_EQ(o.lines.back().value(QStringLiteral("state")).toInt(), 6);
    EXPECT_GT(o.lines.back().value(QStringLiteral("virtual_ms")).toInt(), 0);
    EXPECT_TRUE(o.out.contains(R"({"event":"SHIDBootStartUpdateed"})"));
    QFile dumpFile(dump);
    ASSERT_TRUE(dumpFile.open(QIODevice::ReadOnly));
    const QJsonArray regions =
        QJsonDocument::fromJson(dumpFile.readAll()).object().value(QStringLiteral("regions")).toArray();
    ASSERT_EQ(regions.size(), 1);
    EXPECT_EQ(regions[0].toObject().value(QStringLiteral("data")).toString(), QString::fromLatin1(c.image.toHex()));

    o = lab(update + strings({"--fault", "drop-reply:1"}));
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.out.contains(R"({"guide":{"error":true}})"));
    ASSERT_FALSE(o.lines.isEmpty());
    EXPECT_EQ(o.lines.back().value(QStringLiteral("state")).toInt(), 7);
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
    EXPECT_EQ(o.lines.front().value(QStringLiteral("event")).toString(), QStringLiteral("SHIDBootAddDevice"));
    for (qsizetype i = 0; i + 1 < o.lines.size(); ++i)
        EXPECT_TRUE(o.lines[i].contains(QStringLiteral("event"))) << o.out.constData();
    const QJsonObject last = o.lines.back();
    EXPECT_EQ(last.value(QStringLiteral("result")).toString(),
              GetParam().status == 0 ? QStringLiteral("success") : QStringLiteral("failed"));
    EXPECT_TRUE(last.value(QStringLiteral("message")).toString().contains(QString::fromUtf8(GetParam().message)))
        << o.out.constData();
    EXPECT_TRUE(o.out.contains("SHIDBootRemoveDevice")) << "the device's leaving is still reported, before the result";
    if (GetParam().status == 0) {
        EXPECT_EQ(last.value(QStringLiteral("reports_out")).toInt(), 19 + 4) << "600 bytes in 19 pieces";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LabFlashResultLast,
    ::testing::Values(
        FlashEnd{"success", strings({"--bootloader", "classic"}), 0, "update finished"},
        FlashEnd{"stalled", strings({"--bootloader", "classic", "--fault", "drop-reply:3"}), 1,
                 "stalled: waiting for the header's acknowledgement"},
        FlashEnd{"unplugged", strings({"--bootloader", "classic", "--fault", "unplug-after:5"}), 1, "stalled"},
        FlashEnd{"error callback", strings({"--bootloader", "second-gen"}), 1, "firmware is for product"}),
    [](const auto &row) { return testName(row.param.what); });

struct LabWords
{
    const char *what;
    std::vector<const char *> args;
    int status;
    const char *out; // standard output starts with this (empty: nothing on it)
    std::string err; // standard error starts with this (empty: nothing on it)
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
    const LabWords &c = GetParam();
    const LabOutput o = runLab(strings(c.args), home.path());
    EXPECT_EQ(o.status, c.status) << o.err.constData();
    EXPECT_TRUE(*c.out ? o.out.startsWith(c.out) : o.out.isEmpty()) << o.out.constData();
    EXPECT_TRUE(c.err.empty() ? o.err.isEmpty() : o.err.startsWith(QByteArray::fromStdString(c.err)))
        << o.err.constData();
    if (c.args == std::vector<const char *>{"--help"}) {
        for (const char *command : {"  releases --type N", "  newest --type N", "  download --file-url URL"})
            EXPECT_TRUE(o.out.contains(command)) << command;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Program, LabOptions,
    ::testing::Values(LabWords{"help", {"--help"}, 0, "usage: flashwell-lab <command> [options]\n", ""},
                      LabWords{"version", {"--version"}, 0, "flashwell-lab ", ""},
                      LabWords{"no command", {}, 2, "", "usage: flashwell-lab"},
                      LabWords{"unknown command", {"frobnicate"}, 2, "", "usage: flashwell-lab"},
                      LabWords{"unknown option", {"--json", "discover"}, 2, "", "usage: flashwell-lab"}),
    [](const auto &row) { return testName(row.param.what); });

// A table row: a bad command line and the start of what it says.
LabWords bad(const char *what, std::vector<const char *> args, const char *err)
{
    return {what, std::move(args), 2, "", std::string("flashwell-lab ") + err};
}

INSTANTIATE_TEST_SUITE_P(
    Commands, LabOptions,
    ::testing::Values(
        bad("flash unknown option", {"flash", "--bootloader", "classic", "stray"}, "flash: unknown option stray\n"),
        bad("flash bad number", {"flash", "--usb-pid", "zz", "--bogus"},
            "flash: --usb-pid needs a 16-bit hex number\n"),
        bad("flash missing value", {"flash", "--file", "f", "--bootloader"}, "flash: --bootloader needs a value\n"),
        bad("flash dev id", {"flash", "--dev-id", "385"}, "flash: --dev-id is 386 or 387\n"),
        bad("flash fault", {"flash", "--fault", "boom:1"},
            "flash: unknown fault boom (drop-reply, corrupt-write, unplug-after, fail-send)\n"),
        // A count past an int's range is refused, not wrapped to a negative one.
        bad("flash fault count past an int", {"flash", "--fault", "drop-reply:4294967295"},
            "flash: --fault takes KIND:N with N >= 1\n"),
        bad("flash needs a bootloader", {"flash", "--file", "f"},
            "flash: --bootloader is required (classic, second-gen, hjz)\n"),
        bad("flash missing file", {"flash", "--bootloader", "classic", "--file", "/nonexistent/fw.bin"},
            "flash: cannot read /nonexistent/fw.bin: No such file or directory\n"),
        bad("update own version", {"update", "--version", "1.234"},
            "update: --version needs a version such as 1.02\nusage: flashwell-lab update"),
        bad("update row", {"update", "--row", "100001"}, "update: --row needs a number\n"),
        bad("update needs a server", {"update", "--pid", "3011"}, "update: --server is required\n"),
        bad("replay two recordings", {"replay", "a.jsonl", "b.jsonl", "--bogus"},
            "replay: one recording at a time (b.jsonl is one too many)\n"),
        bad("replay speed", {"replay", "a.jsonl", "--speed"}, "replay: --speed is real or virtual\n"),
        bad("replay nothing", {"replay"}, "replay: name the recording to replay\n"),
        bad("server missing value", {"server", "--dir"}, "server: --dir needs a value\n"),
        bad("server bad port", {"server", "--port", "http"}, "server: bad option --port http\n"),
        bad("build negative size", {"build-firmware", "--out", "f", "--size", "-1"},
            "build-firmware: bad option --size -1\n"),
        bad("build needs out", {"build-firmware", "--version", "102"}, "build-firmware: --out is required\n"),
        bad("releases needs a type", {"releases"},
            "releases: --type is required\nusage: flashwell-lab releases --type N"),
        bad("releases not a number", {"releases", "--type", "two"}, "releases: --type needs a number, not \"two\"\n"),
        bad("releases not a url", {"releases", "--type", "2", "--server", "not a url"},
            "releases: --server needs an http:// or https:// URL, not \"not a url\"\n"),
        bad("newest needs a beta", {"newest", "--type", "2", "--version", "1.0"},
            "newest: --beta is required\nusage: flashwell-lab newest --type N"),
        bad("download needs a size", {"download", "--file-url", "http://x/a.bin", "--id", "1"},
            "download: --size is required\nusage: flashwell-lab download --file-url URL"),
        bad("discover seconds", {"discover", "stray", "--hidapi", "--seconds", "0"},
            "discover: --seconds needs a positive number\n")),
    [](const auto &row) { return testName(row.param.what); });

#endif
