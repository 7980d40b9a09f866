#pragma once

#include "device/DeviceDelegate.h"
#include "device/SFenwykDeviceDetailsTools.h"
#include "platform/HidReport.h"
#include "platform/UserDefaults.h"

#include <QFile>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>

#include "support/QtPrinters.h"

#include <cctype>
#include <cstdio>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

namespace flashwell::test {

// Replaces the process-wide catalogue for one test and puts the previous one back.
class ScopedCatalogue
{
public:
    explicit ScopedCatalogue(SFenwykCatalogue catalogue)
        : m_previous(SFenwykDeviceDetailsTools::replaceCatalogue(std::move(catalogue)))
    {}
    ~ScopedCatalogue() { SFenwykDeviceDetailsTools::replaceCatalogue(std::move(m_previous)); }
    ScopedCatalogue(const ScopedCatalogue &) = delete;
    ScopedCatalogue &operator=(const ScopedCatalogue &) = delete;

private:
    SFenwykCatalogue m_previous;
};

// Sets the preferred interface languages for one test.
class ScopedLanguages
{
public:
    explicit ScopedLanguages(const QStringList &languages)
    {
        UserDefaults::standard().setObject(languages, QStringLiteral("AppleLanguages"));
    }
    ~ScopedLanguages() { UserDefaults::standard().removeObjectForKey(QStringLiteral("AppleLanguages")); }
};

inline SFenwykDataDetailsPtr entry(uint16_t pid, uint16_t vid, int32_t type, const char *name, int64_t order = 0)
{
    auto e = std::make_shared<SFenwykDataDetails>();
    e->pid = pid;
    e->vid = vid;
    e->type = type;
    e->order = order;
    e->setName(QString::fromUtf8(name));
    return e;
}

// Records what the watchers announce, in order.
class RecordingDelegate final : public QObject, public DeviceDelegate
{
public:
    struct Event
    {
        bool added;
        SFenwykDevicePtr device;
    };
    void addSFenwykDevice(const SFenwykDevicePtr &device) override { events.push_back({true, device}); }
    void removeSFenwykDevice(const SFenwykDevicePtr &device) override { events.push_back({false, device}); }
    int addCount() const
    {
        int n = 0;
        for (const auto &e : events)
            n += e.added ? 1 : 0;
        return n;
    }
    std::vector<Event> events;
};

// "06 00 21 01" -> a zero-filled 64-byte report with those leading bytes.
inline HidReport report(std::initializer_list<uint8_t> bytes)
{
    HidReport r{};
    std::size_t i = 0;
    for (uint8_t b : bytes)
        r[i++] = b;
    return r;
}

inline std::string hex(const HidReport &r, std::size_t count = kHidReportSize)
{
    static const char *digits = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i)
            out += ' ';
        out += digits[r[i] >> 4];
        out += digits[r[i] & 0xF];
    }
    return out;
}

// Writes `bytes` into `dir` under `name` (replacing it) and returns the path.
inline QString writeTempFile(const QTemporaryDir &dir, const QByteArray &bytes, const char *name = "fw.bin")
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return path;
}

// Texts written as plain literals, for tables of arguments and expected lists.
template <typename Texts = std::initializer_list<const char *>> QStringList strings(const Texts &texts)
{
    QStringList out;
    for (const char *text : texts)
        out << QString::fromUtf8(text);
    return out;
}

// A parameterised test's name from free text: letters and digits kept, the rest as '_'.
inline std::string testName(std::string text)
{
    for (char &c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return text;
}

// A product ID as a test name reads it: "pid0x9025".
inline std::string pidName(uint32_t pid)
{
    char text[16];
    std::snprintf(text, sizeof text, "pid0x%04x", pid);
    return text;
}

} // namespace flashwell::test
