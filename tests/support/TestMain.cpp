#include "platform/ApplicationContext.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Every test binary runs inside a QCoreApplication and an application context, with the settings
// store pointed at a temporary file so no test reads or writes the user's settings.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    flashwell::ApplicationContext context;
    QTemporaryDir dir;
    flashwell::UserDefaults::useFileForStandard(dir.filePath(QStringLiteral("defaults.ini")));
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    flashwell::UserDefaults::useFileForStandard({});
    return rc;
}
