#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QStringList>
#include <QTranslator>
#include <QWidget>
#include <QtGlobal>

#include "support/QtPrinters.h"

#include <memory>
#include <ostream>
#include <vector>

namespace flashwell::test {

// The widgets under `root` (itself included) whose own font is sized in points rather than pixels,
// by class and object name; font sizes are pixels everywhere.
inline QStringList pointSizedFonts(const QWidget &root)
{
    QStringList out;
    QList<const QWidget *> widgets{&root};
    for (const QWidget *child : root.findChildren<QWidget *>())
        widgets << child;
    for (const QWidget *w : widgets) {
        if (w->testAttribute(Qt::WA_SetFont) && w->font().pixelSize() <= 0)
            out << QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
    }
    return out;
}

// Installs every translation file of one language ("en" or "zh_CN") for one test.
class ScopedTranslations
{
public:
    explicit ScopedTranslations(const QString &language)
    {
        const QDir dir(QStringLiteral(":/i18n"));
        for (const QString &file :
             dir.entryList({QStringLiteral("*_") + language + QStringLiteral(".qm")}, QDir::Files, QDir::Name)) {
            auto translator = std::make_unique<QTranslator>();
            if (translator->load(dir.filePath(file))) {
                QCoreApplication::installTranslator(translator.get());
                m_translators.push_back(std::move(translator));
            }
        }
    }
    ~ScopedTranslations()
    {
        for (auto &translator : m_translators)
            QCoreApplication::removeTranslator(translator.get());
    }
    ScopedTranslations(const ScopedTranslations &) = delete;
    ScopedTranslations &operator=(const ScopedTranslations &) = delete;
    int count() const { return static_cast<int>(m_translators.size()); }

private:
    std::vector<std::unique_ptr<QTranslator>> m_translators;
};

// Counts the warnings Qt logs while it lives.
class WarningCounter
{
public:
    WarningCounter()
        : m_previous(qInstallMessageHandler(&WarningCounter::handle))
    {
        s_count = 0;
    }
    ~WarningCounter() { qInstallMessageHandler(m_previous); }
    WarningCounter(const WarningCounter &) = delete;
    WarningCounter &operator=(const WarningCounter &) = delete;
    int count() const { return s_count; }
    const QString &last() const { return s_last; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == QtWarningMsg) {
            ++s_count;
            s_last = message;
        }
    }
    QtMessageHandler m_previous;
    static inline int s_count = 0;
    static inline QString s_last;
};

// The widget as drawn, at one pixel per point.
inline QImage render(QWidget &widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace flashwell::test
