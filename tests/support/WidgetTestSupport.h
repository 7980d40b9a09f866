#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QTranslator>
#include <QWidget>
#include <QtGlobal>

#include <memory>
#include <ostream>
#include <vector>

// Readable QStrings in test failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace flashwell::test {

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
