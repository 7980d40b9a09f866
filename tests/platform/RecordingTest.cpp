// Catches: a recording written, capped or read wrongly, or a recorder that changes what the host sees.
#include "platform/RecordingHidBackend.h"
#include "platform/RecordingReader.h"
#include "platform/RecordingWriter.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <vector>

using namespace flashwell;

namespace {

QList<QJsonObject> linesOf(const QString &path)
{
    QFile file(path);
    QList<QJsonObject> out;
    if (!file.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.isEmpty())
            out.append(QJsonDocument::fromJson(line).object());
    return out;
}

QString text(const QJsonObject &o, const char *key)
{
    return o.value(QLatin1String(key)).toString();
}

// Answers every output report with it, first byte + 1, after 3 ms.
class Answerer final : public VirtualHidEndpoint
{
public:
    explicit Answerer(VirtualHidBus &bus)
        : m_bus(bus)
    {}
    void onOutputReport(HidDevice *device, std::span<const uint8_t> r) override
    {
        HidReport answer{};
        std::copy(r.begin(), r.end(), answer.begin());
        answer[0] = static_cast<uint8_t>(answer[0] + 1);
        HidDeviceRef ref(device);
        m_bus.scheduler().after(2, [this, ref, answer] {
            if (ref)
                m_bus.sendInput(ref.data(), answer);
        });
    }

private:
    VirtualHidBus &m_bus;
};

class RecordingTest : public ::testing::Test
{
protected:
    RecordingTest()
        : bus(clock)
        , writer(clock)
    {}
    QString path() const { return dir.filePath(QStringLiteral("r.jsonl")); }

    QTemporaryDir dir;
    VirtualScheduler clock;
    VirtualHidBus bus;
    RecordingWriter writer;
};

HidReport reportOf(uint8_t first)
{
    HidReport r{};
    r[0] = first;
    r[1] = 0x55;
    return r;
}

} // namespace

TEST_F(RecordingTest, HeaderThenEventsWithTheirTimeEachOnDiskAsWritten)
{
    clock.advance(500); // the recording's clock starts when it is opened
    ASSERT_TRUE(writer.open(path(), QStringLiteral("tester"), QStringLiteral("9.8.7"),
                            QJsonObject{{QStringLiteral("kind"), QStringLiteral("flash")}}));
    clock.advance(42);
    writer.write(QJsonObject{{QStringLiteral("event"), QStringLiteral("left")}, {QStringLiteral("handle"), 1}});
    // Still open: the line is already in the file.
    const QList<QJsonObject> lines = linesOf(path());
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(text(lines[0], "format"), QStringLiteral("flashwell-recording"));
    EXPECT_EQ(lines[0].value(QStringLiteral("version")).toInt(), 1);
    EXPECT_EQ(text(lines[0], "application"), QStringLiteral("tester"));
    EXPECT_EQ(text(lines[0], "application_version"), QStringLiteral("9.8.7"));
    EXPECT_EQ(text(lines[0], "kind"), QStringLiteral("flash"));
    EXPECT_TRUE(text(lines[0], "time").endsWith(QLatin1Char('Z')));
    EXPECT_EQ(lines[1].value(QStringLiteral("t")).toInt(), 42);

    writer.finish();
    writer.write(QJsonObject{{QStringLiteral("event"), QStringLiteral("left")}});
    EXPECT_EQ(linesOf(path()).size(), 2) << "nothing is recorded after the attempt";
}

TEST_F(RecordingTest, TheCapEndsTheRecordingWithALineThatSaysSo)
{
    ASSERT_TRUE(writer.open(path(), QStringLiteral("tester"), QStringLiteral("1")));
    writer.setMaxBytes(2048);
    const QString bytes(128, QLatin1Char('a'));
    for (int i = 0; i < 100; ++i)
        writer.write(QJsonObject{{QStringLiteral("event"), QStringLiteral("update")},
                                 {QStringLiteral("step"), QStringLiteral("padding")},
                                 {QStringLiteral("text"), bytes}});
    EXPECT_FALSE(writer.isOpen());
    const QList<QJsonObject> lines = linesOf(path());
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(text(lines.last(), "event"), QStringLiteral("cap"));
    EXPECT_TRUE(text(lines.last(), "message").contains(QStringLiteral("2048")));
    EXPECT_LE(QFile(path()).size(), 2048);
    QString error;
    EXPECT_TRUE(RecordingReader::read(path(), &error)) << qPrintable(error);
}

TEST_F(RecordingTest, AnUnwritableFileIsAnErrorNotACrash)
{
    EXPECT_FALSE(
        writer.open(dir.filePath(QStringLiteral("no/such/folder/r.jsonl")), QStringLiteral("t"), QStringLiteral("1")));
    EXPECT_TRUE(writer.error().contains(QStringLiteral("cannot write")));
    writer.write(QJsonObject{{QStringLiteral("event"), QStringLiteral("left")}});
}

// The recorder only watches: the host sees the same devices, reports and timing, and every
// exchange is in the file in order.
TEST_F(RecordingTest, TheRecorderWritesEveryExchangeAndChangesNothing)
{
    ASSERT_TRUE(writer.open(path(), QStringLiteral("t"), QStringLiteral("1")));
    RecordingHidBackend recorder(bus, writer);
    std::vector<HidDevice *> arrived;
    QObject::connect(&recorder, &HidBackend::deviceArrived, [&](HidDevice *d) { arrived.push_back(d); });
    Answerer answerer(bus);
    HidDevice *inner = bus.plug({0x2DC8, 0x3011, QStringLiteral("Pad")}, &answerer);
    ASSERT_EQ(arrived.size(), 1U);
    HidDevice *device = arrived.front();
    EXPECT_NE(device, inner);
    EXPECT_EQ(device->property(kHidProductIDKey).toUInt(), 0x3011U);
    EXPECT_EQ(recorder.devices(), QList<HidDevice *>{device});

    std::array<uint8_t, 64> buffer{};
    std::vector<std::pair<int64_t, std::vector<uint8_t>>> heard;
    device->registerInputReportCallback(buffer.data(), buffer.size(), [&](HidDevice *sender, auto r) {
        EXPECT_EQ(sender, device);
        heard.emplace_back(clock.nowMs(), std::vector<uint8_t>(r.begin(), r.end()));
    });
    EXPECT_EQ(device->open(), kIOReturnSuccess);
    clock.advance(10);
    EXPECT_EQ(device->setReport(reportOf(0x10)), kIOReturnSuccess);
    bus.injectFault({HidFault::Kind::FailSend, HidFault::Direction::HostToDevice, 1});
    EXPECT_EQ(device->setReport(reportOf(0x20)), kIOReturnError);
    clock.advance(100);
    // 1 ms there, 2 ms to answer, 1 ms back: as without the recorder.
    ASSERT_EQ(heard.size(), 1U);
    EXPECT_EQ(heard[0].first, 14);
    EXPECT_EQ(heard[0].second[0], 0x11);
    HidDeviceRef ref(device);
    bus.unplug(inner);
    EXPECT_TRUE(ref.isNull());
    EXPECT_TRUE(recorder.devices().isEmpty());

    // Read back by the reader that the stored recordings pin.
    QString error;
    const auto parsed = RecordingReader::read(path(), &error);
    ASSERT_TRUE(parsed) << qPrintable(error);
    EXPECT_EQ(parsed->outputReports, 2);
    using K = RecordingEvent::Kind;
    const std::vector<std::pair<K, int64_t>> expected = {
        {K::Arrived, 0}, {K::Output, 10}, {K::Output, 10}, {K::Input, 14}, {K::Left, 110}};
    std::vector<std::pair<K, int64_t>> events;
    for (const RecordingEvent &e : parsed->events)
        events.emplace_back(e.kind, e.t);
    EXPECT_EQ(events, expected);
    ASSERT_EQ(events.size(), 5U);
    EXPECT_EQ(parsed->events[0].vendorId, 0x2DC8);
    EXPECT_EQ(parsed->events[0].productId, 0x3011);
    EXPECT_EQ(parsed->events[0].product, QStringLiteral("Pad"));
    EXPECT_EQ(parsed->events[1].bytes.size(), 64);
    EXPECT_EQ(parsed->events[1].bytes.left(2), QByteArray::fromHex("1055"));
    EXPECT_EQ(parsed->events[2].result, kIOReturnError);
    EXPECT_EQ(parsed->events[3].after, 2);
    EXPECT_EQ(parsed->events[3].bytes.left(2), QByteArray::fromHex("1155"));
}

TEST_F(RecordingTest, AFailedOpenIsRecordedWithItsErrorAndOtherVendorsAreNotRecorded)
{
    ASSERT_TRUE(writer.open(path(), QStringLiteral("t"), QStringLiteral("1")));
    RecordingHidBackend recorder(bus, writer,
                                 [](const HidDevice &d) { return d.property(kHidVendorIDKey).toUInt() == 0x2DC8; });
    std::vector<HidDevice *> failed;
    QObject::connect(&recorder, &HidBackend::deviceOpenFailed, [&](HidDevice *d) { failed.push_back(d); });
    Answerer answerer(bus);
    bus.setOpenFails(0x2DC8, 0x5750, true);
    bus.plug({0x046D, 0xC52B, QStringLiteral("Keyboard")}, &answerer);
    bus.plug({0x2DC8, 0x5750, QStringLiteral("Bootloader")}, &answerer);
    const QList<HidDevice *> devices = recorder.devices();
    ASSERT_EQ(devices.size(), 2);
    EXPECT_EQ(devices[0], bus.devices()[0]) << "a device not recorded passes through as it is";
    EXPECT_EQ(devices[1]->open(), kIOReturnError);
    ASSERT_EQ(failed.size(), 1U);
    EXPECT_EQ(failed.front(), devices[1]);

    const QList<QJsonObject> lines = linesOf(path());
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1].value(QStringLiteral("pid")).toInt(), 0x5750);
    EXPECT_EQ(text(lines[2], "event"), QStringLiteral("open_failed"));
    EXPECT_EQ(text(lines[2], "handle"), QStringLiteral("d1"));
    EXPECT_TRUE(lines[2].contains(QStringLiteral("errno")));
}

// --- the reader ---

namespace {

const char *const kHeader = R"({"format":"flashwell-recording","version":1,"kind":"flash"})";
const char *const kArrived =
    R"({"event":"arrived","t":0,"handle":"d1","vid":11720,"pid":22352,"usage_page":65280,"usage":1,"product":"B","descriptor":"0601ff"})";
const char *const kOutput = R"({"event":"output","t":5,"handle":"d1","report":1,"bytes":"0a0b","result":0})";
const char *const kInput = R"({"event":"input","t":7,"handle":"d1","after":1,"bytes":"0c"})";

struct Refusal
{
    const char *name;
    QByteArray data;
    const char *says;
};

void PrintTo(const Refusal &r, std::ostream *os)
{
    *os << r.name;
}

QByteArray lines(std::initializer_list<const char *> list, bool finalNewline = true)
{
    QByteArray out;
    for (const char *l : list)
        out += QByteArray(l) + '\n';
    if (!finalNewline)
        out.chop(1);
    return out;
}

class RecordingRefusals : public ::testing::TestWithParam<Refusal>
{
};

} // namespace

// The stored recordings pin reading a whole one; a cable pulled mid-update leaves a recording that
// ends without an outcome, and that is still readable.
TEST(RecordingReader, ARecordingWithoutAnOutcomeIsRead)
{
    QString error;
    const auto r = RecordingReader::parse(lines({kHeader, kArrived, kOutput, kInput}), &error);
    ASSERT_TRUE(r) << qPrintable(error);
    ASSERT_EQ(r->events.size(), 3U);
    EXPECT_EQ(r->events[0].descriptor, QByteArray::fromHex("0601ff"));
    EXPECT_EQ(r->events[2].line, 4);
}

TEST_P(RecordingRefusals, AreRefusedWithTheLineThatIsWrong)
{
    QString error;
    EXPECT_FALSE(RecordingReader::parse(GetParam().data, &error));
    EXPECT_TRUE(error.contains(QLatin1String(GetParam().says))) << qPrintable(error);
}

INSTANTIATE_TEST_SUITE_P(
    Recordings, RecordingRefusals,
    ::testing::Values(
        Refusal{"empty", QByteArray(), "empty"},
        Refusal{"not ours", lines({R"({"format":"other","version":1})"}), "not a Flashwell recording"},
        Refusal{"a later version", lines({R"({"format":"flashwell-recording","version":2})"}),
                "version 2 is not supported"},
        Refusal{"truncated", lines({kHeader, kArrived, R"({"event":"output","t":5,"handle":"d1","rep)"}, false),
                "line 3: the recording ends in the middle of a line"},
        Refusal{"malformed", lines({kHeader, "{oops", kArrived}), "line 2: not a JSON object"},
        Refusal{"time going back", lines({kHeader, kArrived, R"({"event":"left","t":-1,"handle":"d1"})"}),
                "line 3: \"t\" must be a whole number"},
        Refusal{"time going back 2", lines({kHeader, R"({"event":"update","t":9,"step":"start"})", kArrived}),
                "line 3: time goes back"},
        Refusal{"an unknown event", lines({kHeader, R"({"event":"teleport","t":1})"}), "unknown event \"teleport\""},
        Refusal{"a device never announced", lines({kHeader, kOutput}), "device \"d1\" was never announced"},
        Refusal{"a device that left", lines({kHeader, kArrived, R"({"event":"left","t":1,"handle":"d1"})", kOutput}),
                "line 4: device \"d1\" has already left"},
        Refusal{
            "reports out of order",
            lines({kHeader, kArrived, R"({"event":"output","t":5,"handle":"d1","report":2,"bytes":"00","result":0})"}),
            "output report 2 out of order"},
        Refusal{"an answer to a report never sent",
                lines({kHeader, kArrived, R"({"event":"input","t":5,"handle":"d1","after":1,"bytes":"00"})"}),
                "an answer to report 1, which was never sent"},
        Refusal{"bytes that are not hex",
                lines({kHeader, kArrived, R"({"event":"input","t":5,"handle":"d1","after":0,"bytes":"0g"})"}),
                "\"bytes\" must be 1 or more hex bytes"},
        Refusal{
            "a vendor ID past 16 bits",
            lines(
                {kHeader,
                 R"({"event":"arrived","t":0,"handle":"d1","vid":70000,"pid":1,"usage_page":0,"usage":0,"descriptor":""})"}),
            "\"vid\" must be a whole number from 0 to 65535"},
        Refusal{"events after the cap", lines({kHeader, R"({"event":"cap","t":1})", kArrived}),
                "events after the line that ends the recording"}),
    [](const ::testing::TestParamInfo<Refusal> &p) {
        std::string name = p.param.name;
        for (char &c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });
