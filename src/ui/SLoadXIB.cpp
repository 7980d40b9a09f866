#include "ui/SLoadXIB.h"

#include "ui/SBackButton.h"
#include "ui/SButton.h"
#include "ui/SLabel.h"
#include "ui/SMiniImageView.h"
#include "ui/SView.h"
#include "ui/UiLogging.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QUiLoader>
#include <QWidget>
#include <QXmlStreamReader>

#include <memory>

namespace flashwell {

namespace {

QHash<QString, SLoadXIB::Factory> &registry()
{
    static QHash<QString, SLoadXIB::Factory> factories = [] {
        QHash<QString, SLoadXIB::Factory> f;
        f.insert(QStringLiteral("SButton"), [](QWidget *p) -> QWidget * { return new SButton(p); });
        f.insert(QStringLiteral("SLabel"), [](QWidget *p) -> QWidget * { return new SLabel(p); });
        f.insert(QStringLiteral("SView"), [](QWidget *p) -> QWidget * { return new SView(p); });
        f.insert(QStringLiteral("SBackButton"), [](QWidget *p) -> QWidget * { return new SBackButton(p); });
        f.insert(QStringLiteral("SMiniImageView"), [](QWidget *p) -> QWidget * { return new SMiniImageView(p); });
        f.insert(QStringLiteral("ImageView"), [](QWidget *p) -> QWidget * { return new ImageView(p); });
        return f;
    }();
    return factories;
}

class Loader final : public QUiLoader
{
public:
    QWidget *createWidget(const QString &className, QWidget *parent, const QString &name) override
    {
        const auto it = registry().constFind(className);
        if (it == registry().constEnd())
            return QUiLoader::createWidget(className, parent, name);
        QWidget *widget = (*it)(parent);
        widget->setObjectName(name);
        return widget;
    }
};

// The first structural fault of the file, or an empty string for a well-formed ".ui" document.
QString structuralFault(const QByteArray &bytes)
{
    QXmlStreamReader reader(bytes);
    bool sawRoot = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && !sawRoot) {
            sawRoot = true;
            if (reader.name() != QStringLiteral("ui"))
                return QStringLiteral("root element is <%1>, not <ui>").arg(reader.name().toString());
        }
    }
    if (reader.hasError())
        return QStringLiteral("line %1: %2").arg(reader.lineNumber()).arg(reader.errorString());
    if (!sawRoot)
        return QStringLiteral("no root element");
    return {};
}

} // namespace

QString SLoadXIB::resourcePathFor(const QString &name)
{
    return QStringLiteral(":/ui/") + name + QStringLiteral(".ui");
}

void SLoadXIB::registerClass(const QString &className, Factory factory)
{
    registry().insert(className, std::move(factory));
}

bool SLoadXIB::isKindOfClass(const QObject *object, const QString &className)
{
    if (!object)
        return false;
    for (const QMetaObject *meta = object->metaObject(); meta; meta = meta->superClass()) {
        const QString name = QString::fromLatin1(meta->className());
        const qsizetype scope = name.lastIndexOf(QStringLiteral("::"));
        if (name == className || (scope >= 0 && name.mid(scope + 2) == className))
            return true;
    }
    return false;
}

QWidget *SLoadXIB::loadXibName(const QString &name, QWidget *parent)
{
    return loadXibName(name, name, parent);
}

QWidget *SLoadXIB::loadXibName(const QString &fileName, const QString &className, QWidget *parent)
{
    const QString path = resourcePathFor(fileName);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcUi).noquote() << "interface file" << fileName << "is not among the resources (" << path << ")";
        return nullptr;
    }
    const QByteArray bytes = file.readAll();
    if (const QString fault = structuralFault(bytes); !fault.isEmpty()) {
        qCWarning(lcUi).noquote() << "interface file" << fileName << "is malformed:" << fault;
        return nullptr;
    }

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    Loader loader;
    std::unique_ptr<QWidget> root(loader.load(&buffer));
    if (!root) {
        qCWarning(lcUi).noquote() << "interface file" << fileName << "cannot be built:" << loader.errorString();
        return nullptr;
    }

    if (isKindOfClass(root.get(), className)) {
        if (parent)
            root->setParent(parent);
        return root.release();
    }
    for (QObject *child : root->children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        if (widget && isKindOfClass(widget, className)) {
            widget->setParent(parent);
            return widget;
        }
    }
    qCWarning(lcUi).noquote() << "interface file" << fileName << "holds no top-level object of class" << className;
    return nullptr;
}

} // namespace flashwell
