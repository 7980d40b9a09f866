// Catches: a language tag normalised wrongly, the wrong preferred language, or the translation missing.
#include "platform/Bundle.h"

#include <QCoreApplication>
#include <QTranslator>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using flashwell::Bundle;

TEST(Bundle, NormalisesLanguageTagsToLanguageScriptRegion)
{
    const struct
    {
        const char *in;
        const char *out;
    } rows[] = {
        {"zh_CN", "zh-Hans-CN"},      {"zh-CN", "zh-Hans-CN"}, {"zh_TW", "zh-Hant-TW"}, {"zh-Hans-US", "zh-Hans-US"},
        {"zh-Hant-HK", "zh-Hant-HK"}, {"en_US", "en-Latn-US"}, {"de", "de-Latn"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Bundle::normalizedLanguageTag(QString::fromLatin1(row.in)), QString::fromLatin1(row.out)) << row.in;
}

TEST(Bundle, PreferredLanguageIsTheFirstConfiguredOne)
{
    flashwell::test::ScopedLanguages languages({QStringLiteral("fr-FR"), QStringLiteral("zh-Hans-CN")});
    EXPECT_EQ(Bundle::preferredLanguage(), QStringLiteral("fr-FR"));
}

TEST(Bundle, ChineseTranslationIsCompiledIn)
{
    QTranslator translator;
    ASSERT_TRUE(translator.load(QStringLiteral("flashwell_zh_CN"), QStringLiteral(":/i18n")));
    QCoreApplication::installTranslator(&translator);
    EXPECT_EQ(Bundle::localizedString("update"), QString::fromUtf8("更新"));
    QCoreApplication::removeTranslator(&translator);
    // Without a translation the key itself comes back.
    EXPECT_EQ(Bundle::localizedString("update"), QStringLiteral("update"));
}
