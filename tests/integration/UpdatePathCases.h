#pragma once

#include "models/FirmwareFileBuilder.h"
#include "runs/LabUpdateRun.h"

#include <QByteArray>
#include <QJsonObject>

#include <ostream>
#include <vector>

// The protocol paths of a whole update and the release JSON that lists one, shared by the tests and benches.
namespace flashwell::test {

using namespace flashwell::lab;

inline QJsonObject releaseJson(int id, int type, double version, const QString &fileName, int beta = 0)
{
    return {{QStringLiteral("id"), id},
            {QStringLiteral("type"), type},
            {QStringLiteral("version"), version},
            {QStringLiteral("beta"), beta},
            {QStringLiteral("date"), QStringLiteral("2026-11-30")},
            {QStringLiteral("fileName"), fileName},
            {QStringLiteral("readme"), QStringLiteral("说明")},
            {QStringLiteral("readme_en"), QStringLiteral("Notes")}};
}

// One protocol path: the device, its bootloader, the release file, and where its image must land.
struct PathCase
{
    const char *name;
    LabUpdateOptions options;
    int releaseType;
    QByteArray file;
    uint32_t flashAddress;
    QByteArray image;
};

// Test names and failure messages show the case, not its bytes.
inline void PrintTo(const PathCase &c, std::ostream *os)
{
    *os << c.name;
}

inline LabUpdateOptions dinput(uint16_t pid, LabBootloader bootloader)
{
    LabUpdateOptions o;
    o.pid = pid;
    o.boot.bootloader = bootloader;
    return o;
}

inline PathCase classicPath()
{
    ClassicFirmware fw;
    fw.version = 105;
    fw.address = 0x08004000;
    fw.data = patternBytes(6000, 1);
    return {"classic through the D-input switch",
            dinput(0x3011, LabBootloader::Classic),
            12,
            fw.build(),
            0x08004000,
            fw.data};
}

inline PathCase switchPath()
{
    LabUpdateOptions o = dinput(0x9026, LabBootloader::SecondGen);
    o.identity = LabUpdateOptions::Identity::Switch;
    const QByteArray image = patternBytes(5000, 2);
    return {"second-generation through the Switch-mode report",    o,          38,
            buildVela2File({{617, 0, 0x01018000, 0x9026, image}}), 0x01018000, image};
}

inline PathCase padPath()
{
    LabUpdateOptions o = dinput(0x2000, LabBootloader::SecondGen);
    o.bootloaderAttached = true;
    const QByteArray image = patternBytes(4000, 3);
    return {"second-generation through pid 0x2000",
            o,
            48,
            buildVela2File({{300, 0, 0x08010000, 0x2000, image}}),
            0x08010000,
            image};
}

inline PathCase jlPath()
{
    LabUpdateOptions o = dinput(0x3012, LabBootloader::SecondGen);
    o.boot.appZone = 0x1000;
    o.boot.eraseUnit = 4096;
    const QByteArray image = patternBytes(10000, 4);
    return {"the JL path", o, 13, buildVela2File({{300, 0, 0, 0x3012, image}}), 0, image.mid(0x1000)};
}

inline PathCase hjzPath()
{
    HjzFirmware fw;
    fw.deviceId = 387;
    fw.pageSize = 1024;
    fw.data = patternBytes(16 * 1024, 5);
    return {"HJZ through 0x3209", dinput(0x23FB, LabBootloader::Hjz), 47, fw.build(), 0x08003400, fw.data};
}

inline PathCase manualPath()
{
    ClassicFirmware fw;
    fw.version = 210;
    fw.address = 0x08004000;
    fw.data = patternBytes(3000, 6);
    // Type 2 cannot be switched by a report: the guide, and the user re-plugs it.
    return {"a manual switch through the guide",
            dinput(0x3020, LabBootloader::Classic),
            2,
            fw.build(),
            0x08004000,
            fw.data};
}

inline std::vector<PathCase> allPaths()
{
    return {classicPath(), switchPath(), padPath(), jlPath(), hjzPath(), manualPath()};
}

} // namespace flashwell::test
