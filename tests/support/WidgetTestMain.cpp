#include "platform/ApplicationContext.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Widget tests run inside a QApplication (offscreen) and an application context, with the settings store pointed at a
// temporary file so no test reads or writes the user's settings.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    flashwell::ApplicationContext context;
    QTemporaryDir dir;
    flashwell::UserDefaults::useFileForStandard(dir.filePath(QStringLiteral("defaults.ini")));
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    flashwell::UserDefaults::useFileForStandard({});
    return rc;
}
