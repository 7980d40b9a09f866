#include "platform/Bundle.h"

#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTranslator>

namespace flashwell {

QString Bundle::resourcePath(const QString &name)
{
    return QStringLiteral(":/") + name;
}

QString Bundle::localizedString(const char *key)
{
    return qtTrId(key);
}

void Bundle::installTranslations(QCoreApplication &app)
{
    // One translation file per area of the program ("flashwell_en.qm", "update_en.qm", ...);
    // every file of the interface language is installed, so areas never share a file.
    const QString suffix = preferredLanguage().startsWith(QStringLiteral("zh-Hans")) ? QStringLiteral("_zh_CN.qm")
                                                                                     : QStringLiteral("_en.qm");
    const QDir dir(QStringLiteral(":/i18n"));
    for (const QString &file : dir.entryList({QStringLiteral("*") + suffix}, QDir::Files, QDir::Name)) {
        auto *translator = new QTranslator(&app);
        if (translator->load(dir.filePath(file)))
            app.installTranslator(translator);
        else
            delete translator;
    }
}

QString Bundle::preferredLanguage()
{
    const QStringList configured = UserDefaults::standard().stringArrayForKey(QStringLiteral("AppleLanguages"));
    if (!configured.isEmpty() && !configured.first().isEmpty())
        return configured.first();
    const QStringList system = QLocale::system().uiLanguages();
    return normalizedLanguageTag(system.isEmpty() ? QLocale::system().name() : system.first());
}

QString Bundle::normalizedLanguageTag(const QString &name)
{
    QString tag = name;
    tag.replace(QLatin1Char('_'), QLatin1Char('-'));
    const QLocale locale(tag);
    if (locale.language() == QLocale::C)
        return tag;
    const QStringList parts = tag.split(QLatin1Char('-'));
    QString script;
    QString territory;
    for (int i = 1; i < parts.size(); ++i) {
        if (parts[i].size() == 4)
            script = parts[i];
        else if (parts[i].size() == 2 || parts[i].size() == 3)
            territory = parts[i].toUpper();
    }
    if (script.isEmpty())
        script = QLocale::scriptToCode(locale.script());
    QString out = QLocale::languageToCode(locale.language());
    if (!script.isEmpty())
        out += QLatin1Char('-') + script;
    if (!territory.isEmpty())
        out += QLatin1Char('-') + territory;
    return out;
}

} // namespace flashwell
