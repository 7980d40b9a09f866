#include "platform/ApplicationContext.h"
#include "platform/UserDefaults.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifdef FLASHWELL_WIDGET_TESTS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

// Every test binary runs inside an application (a QApplication for widget tests, on the offscreen
// platform) and an application context, with the settings store pointed at a temporary file so no
// test reads or writes the user's settings.
int main(int argc, char **argv)
{
    TestApplication app(argc, argv);
    flashwell::ApplicationContext context;
    QTemporaryDir dir;
    flashwell::UserDefaults::useFileForStandard(dir.filePath(QStringLiteral("defaults.ini")));
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    flashwell::UserDefaults::useFileForStandard({});
    return rc;
}
