// Catches: an interface file read into the wrong object, our classes not built, a bad file not refused with a warning.
#include "ui/SLoadXIB.h"
#include "ui/SButton.h"
#include "ui/SLabel.h"
#include "ui/SView.h"

#include <gtest/gtest.h>

#include "support/WidgetTestSupport.h"

#include <memory>

namespace {

// A screen class of the kind other layers register: a subclass of SView.
class TestPanel : public flashwell::SView
{
    Q_OBJECT

public:
    using SView::SView;
};

struct Registration
{
    Registration() { flashwell::SLoadXIB::registerClass<TestPanel>(QStringLiteral("TestPanel")); }
};
const Registration registration;

} // namespace

using flashwell::SLoadXIB;

TEST(SLoadXIB, FindsTheFirstTopLevelObjectOfTheClassOrASubclass)
{
    const struct
    {
        const char *file;
        const char *className;
        const char *objectName; // empty: the root itself
    } rows[] = {
        // The file named after the class: the first of two panels, not the label before it.
        {"TestPanel", "TestPanel", "panel"},
        // A subclass counts, and the first match wins over a later exact one.
        {"TestSubclass", "SView", "derived"},
        // The root is a top-level object too.
        {"TestSubclass", "QWidget", "container"},
        {"TestPanel", "QLabel", "first"},
    };
    for (const auto &row : rows) {
        flashwell::test::WarningCounter warnings;
        std::unique_ptr<QWidget> widget(
            SLoadXIB::loadXibName(QString::fromLatin1(row.file), QString::fromLatin1(row.className), nullptr));
        ASSERT_NE(widget, nullptr) << row.file << " " << row.className;
        EXPECT_EQ(widget->objectName(), QString::fromLatin1(row.objectName)) << row.file << " " << row.className;
        EXPECT_TRUE(SLoadXIB::isKindOfClass(widget.get(), QString::fromLatin1(row.className)));
        EXPECT_EQ(warnings.count(), 0) << warnings.last().toStdString();
    }
}

TEST(SLoadXIB, BuildsOurOwnClassesAndDetachesTheObjectFound)
{
    QWidget host;
    QWidget *widget = SLoadXIB::loadXibName(QStringLiteral("TestPanel"), &host);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), &host);
    EXPECT_NE(qobject_cast<TestPanel *>(widget), nullptr);
    EXPECT_EQ(widget->geometry(), QRect(10, 20, 200, 100));
    auto *button = widget->findChild<flashwell::SButton *>(QStringLiteral("okButton"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->geometry(), QRect(40, 30, 120, 38));
    auto *title = widget->findChild<flashwell::SLabel *>(QStringLiteral("title"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), QStringLiteral("Title"));
    // Only the object found comes along: the rest of the file is gone.
    EXPECT_EQ(host.findChildren<TestPanel *>().size(), 1);
}

TEST(SLoadXIB, GivesNullAndOneWarningWhenNothingFits)
{
    const struct
    {
        const char *file;
        const char *className;
    } rows[] = {
        {"TestNone", "SView"},        // an SView exists, but nested inside a button, not at top level
        {"TestNone", "TestPanel"},    // no such object at all
        {"NoSuchFile", "NoSuchFile"}, // missing file
        {"TestMalformed", "SView"},   // cut-off XML
        {"TestWrongRoot", "QWidget"}, // well-formed, but not an interface file
    };
    for (const auto &row : rows) {
        flashwell::test::WarningCounter warnings;
        QWidget *widget =
            SLoadXIB::loadXibName(QString::fromLatin1(row.file), QString::fromLatin1(row.className), nullptr);
        EXPECT_EQ(widget, nullptr) << row.file << " " << row.className;
        delete widget;
        EXPECT_EQ(warnings.count(), 1) << row.file << " " << row.className;
        EXPECT_TRUE(warnings.last().contains(QString::fromLatin1(row.file))) << warnings.last().toStdString();
    }
}

TEST(SLoadXIB, ClassNamesMatchWithoutTheirNamespace)
{
    flashwell::SButton button;
    for (const char *name : {"SButton", "flashwell::SButton", "QAbstractButton", "QObject"})
        EXPECT_TRUE(SLoadXIB::isKindOfClass(&button, QString::fromLatin1(name))) << name;
    for (const char *name : {"SView", "Button", "QLabel"})
        EXPECT_FALSE(SLoadXIB::isKindOfClass(&button, QString::fromLatin1(name))) << name;
}

#include "SLoadXIBTest.moc"
