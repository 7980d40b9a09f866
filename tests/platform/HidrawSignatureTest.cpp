// Catches: a node change the hidraw signature misses, so a replug goes unseen.
#include "platform/HidrawSignature.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using flashwell::hidrawSignature;

namespace {

// A class directory like /sys/class/hidraw: one symbolic link per node to its device.
class HidrawClassDir
{
public:
    void link(const char *node, const QString &device)
    {
        QFile::remove(path(node));
        ASSERT_TRUE(QFile::link(QStringLiteral("../../devices/pci0000:00/usb1/1-2/1-2:1.0/%1/hidraw/%2")
                                    .arg(device, QString::fromLatin1(node)),
                                path(node)));
    }
    void unlink(const char *node) { ASSERT_TRUE(QFile::remove(path(node))); }
    std::optional<QByteArray> signature() const { return hidrawSignature(QFile::encodeName(m_dir.path()).constData()); }

private:
    QString path(const char *node) const { return m_dir.filePath(QString::fromLatin1(node)); }
    QTemporaryDir m_dir;
};

} // namespace

TEST(HidrawSignature, ChangesWithEveryNodeThatComesGoesOrIsTakenOver)
{
    HidrawClassDir dir;
    const auto empty = dir.signature();
    ASSERT_TRUE(empty.has_value());

    dir.link("hidraw0", QStringLiteral("0003:2DC8:3100.0001"));
    const auto one = dir.signature();
    EXPECT_NE(one, empty);
    EXPECT_EQ(dir.signature(), one) << "nothing changed, nothing to enumerate";

    dir.link("hidraw1", QStringLiteral("0003:2DC8:5750.0002"));
    const auto two = dir.signature();
    EXPECT_NE(two, one);

    // The controller leaves and its bootloader takes the same node number before the next look.
    dir.link("hidraw0", QStringLiteral("0003:2DC8:3208.0003"));
    EXPECT_NE(dir.signature(), two);

    dir.unlink("hidraw1");
    dir.unlink("hidraw0");
    EXPECT_EQ(dir.signature(), empty);
}

TEST(HidrawSignature, NoneWithoutTheClassDirectory)
{
    QTemporaryDir dir;
    EXPECT_EQ(hidrawSignature(QFile::encodeName(dir.filePath(QStringLiteral("missing"))).constData()), std::nullopt);
}
