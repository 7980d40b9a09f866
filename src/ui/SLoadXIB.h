#pragma once

#include <QString>

#include <functional>

class QObject;
class QWidget;

namespace flashwell {

// Loads interface files: Qt Designer ".ui" files in the resources (":/ui/NAME.ui"), built at
// run time with our own widget classes available under their class names.
//
// The file's top-level objects are its root widget and, in file order, the root's direct child
// widgets (a root container holding several objects, as an interface file may).
class SLoadXIB final
{
public:
    SLoadXIB() = delete;

    // The first top-level object of the file `name` that is of the class `name` or a subclass,
    // detached from the rest of the file and given to `parent`; the caller owns it. Null and one
    // warning when the file is missing or malformed, or holds no such object.
    static QWidget *loadXibName(const QString &name, QWidget *parent = nullptr);
    // The same for a file whose name differs from the class looked for.
    static QWidget *loadXibName(const QString &fileName, const QString &className, QWidget *parent);

    // Makes a widget class of ours available to interface files under `className`. The
    // controls of src/ui are registered from the start.
    using Factory = std::function<QWidget *(QWidget *parent)>;
    static void registerClass(const QString &className, Factory factory);
    template <typename Widget> static void registerClass(const QString &className)
    {
        registerClass(className, [](QWidget *parent) -> QWidget * { return new Widget(parent); });
    }

    // True when the object's class, or one of its base classes, is called `className`
    // (namespaces aside).
    static bool isKindOfClass(const QObject *object, const QString &className);
    static QString resourcePathFor(const QString &name);
};

} // namespace flashwell
