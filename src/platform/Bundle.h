#pragma once

#include <QString>

class QCoreApplication;

namespace flashwell {

// The application's bundled resources and texts: the Qt resource system and ID-based
// translations (English and Simplified Chinese).
class Bundle final
{
public:
    Bundle() = delete;

    // ":/name": resources are compiled into the binary.
    static QString resourcePath(const QString &name);
    // The text for a key in the interface language; the key itself when there is none.
    static QString localizedString(const char *key);
    // Loads the translation for the preferred interface language into the application.
    static void installTranslations(QCoreApplication &app);

    // The first preferred interface language as a BCP 47 tag with script ("zh-Hans-CN"):
    // the "AppleLanguages" setting when present, otherwise the system's UI language.
    static QString preferredLanguage();
    // "zh_CN" -> "zh-Hans-CN", "zh-TW" -> "zh-Hant-TW", "en_US" -> "en-Latn-US". Tags that
    // already carry a script keep it.
    static QString normalizedLanguageTag(const QString &name);
};

} // namespace flashwell
