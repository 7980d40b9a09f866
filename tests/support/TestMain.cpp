#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Every test binary runs inside a QCoreApplication, with the settings store pointed at a
// temporary file so no test reads or writes the user's settings.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    flashwell::UserDefaults::useFileForStandard(dir.filePath(QStringLiteral("defaults.ini")));
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    flashwell::UserDefaults::useFileForStandard({});
    return rc;
}
