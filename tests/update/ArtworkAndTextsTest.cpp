// Catches: a named picture missing or misdrawn, a text untranslated, too wide or naming one idea two ways.
#include "device/SFenwykDeviceDetailsTools.h"
#include "screens/DeviceManualView.h"
#include "ui/Picture.h"
#include "ui/SLabel.h"
#include "update/ManualGuideTable.h"

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "support/WidgetProbe.h"
#include "support/WidgetTestSupport.h"

#include <set>

using namespace flashwell;

namespace {

QStringList guideKeys()
{
    std::set<QString> keys;
    for (auto rows : {DeviceManualView::typeRows(), DeviceManualView::keyedRows()})
        for (const auto &row : rows)
            for (const char *k : row.lines)
                if (k)
                    keys.insert(QString::fromLatin1(k));
    for (const char *k : guide_table::recoveryLines())
        keys.insert(QString::fromLatin1(k));
    return {keys.begin(), keys.end()};
}

// Every translated text of one language, as the translation sources hold them: id -> text.
std::map<QString, QString> translations(const QString &language)
{
    std::map<QString, QString> texts;
    const QDir dir(QString::fromUtf8(FLASHWELL_TRANSLATIONS_DIR));
    for (const QString &name : dir.entryList({QStringLiteral("*_") + language + QStringLiteral(".ts")}, QDir::Files)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QXmlStreamReader xml(&file);
        QString id;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QStringLiteral("message"))
                id = xml.attributes().value(QStringLiteral("id")).toString();
            else if (xml.name() == QStringLiteral("translation"))
                texts[name + QLatin1Char(':') + id] = xml.readElementText();
        }
    }
    return texts;
}

} // namespace

TEST(Artwork, EveryPictureTheCatalogueTheScreensAndTheGuideNameExists)
{
    QStringList names = test::strings({"device_default", "receiver_default", "receiver_48", "receiver_57", "usb",
                                       "usb_arrow", "updateButton_normal", "updateButton_highlight", "checkbox_nomal",
                                       "checkbox_highlight", "checkbox_selected", "back", "flashwell", "guide_1_sub"});
    const auto &catalogue = SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs();
    ASSERT_EQ(catalogue.size(), 56);
    for (const auto &entry : catalogue)
        names << entry->moreImage << entry->moreImagehighlight << entry->miniImageName;
    for (auto rows : {DeviceManualView::typeRows(), DeviceManualView::keyedRows()})
        for (const auto &row : rows) {
            names << QString::fromLatin1(row.picture);
            if (row.pictureWithF)
                names << QString::fromLatin1(row.pictureWithF);
        }
    names.removeDuplicates();
    test::WarningCounter warnings;
    for (const QString &name : names) {
        const Picture picture = Picture::imageNamed(name);
        ASSERT_FALSE(picture.isNull()) << name.toStdString();
        EXPECT_FALSE(picture.size().isEmpty()) << name.toStdString();
        EXPECT_FALSE(
            test::inkRect(picture.pixmap(QSize(64, 64)).toImage(), [](const QColor &c) { return c.alpha() != 0; })
                .isEmpty())
            << name.toStdString();
        if (name.startsWith(QStringLiteral("guide_")) && name != QStringLiteral("guide_1_sub")) {
            EXPECT_EQ(picture.size(), QSizeF(550, 260)) << name.toStdString();
        }
    }
    EXPECT_EQ(warnings.count(), 0) << warnings.last().toStdString();
}

TEST(Texts, EveryKeyIsWrittenInBothLanguagesAndFitsItsLine)
{
    QStringList keys = guideKeys();
    const int guideCount = static_cast<int>(keys.size());
    keys << test::strings({"back", "backHint", "SButtonProgress", "SMiniImageViewHint", "guidePicture",
                           "guidePictureHint", "guideErrorHint", "releaseNotes", "releaseNotesOkHint", "update",
                           "success"});
    ASSERT_GE(guideCount, 40);

    SLabel line;
    const QRegularExpression han(QStringLiteral("\\p{Han}"));
    std::map<QString, QString> english;
    for (const char *language : {"en", "zh_CN"}) {
        test::ScopedTranslations texts(QString::fromLatin1(language));
        ASSERT_GE(texts.count(), 2) << language;
        for (int i = 0; i < keys.size(); ++i) {
            const QByteArray id = keys[i].toLatin1();
            const QString text = qtTrId(id.constData());
            EXPECT_FALSE(text.isEmpty()) << language << " " << id.constData();
            EXPECT_NE(text, keys[i]) << language << " " << id.constData() << " is not translated";
            if (QString::fromLatin1(language) == QStringLiteral("en")) {
                english[keys[i]] = text;
            } else if (i < guideCount) {
                EXPECT_TRUE(text.contains(han)) << id.constData() << ": " << text.toStdString();
                EXPECT_NE(text, english[keys[i]]) << id.constData();
            }
            // Guide lines stand alone under a 550-point picture.
            if (i < guideCount) {
                EXPECT_FALSE(text.contains(QLatin1Char('\n'))) << language << " " << id.constData();
                EXPECT_LE(line.fontMetrics().horizontalAdvance(text), 550) << language << " " << id.constData();
            }
        }
    }
}

TEST(Texts, OneWordPerIdeaInEveryTranslation)
{
    const struct
    {
        const char *language;
        const char *pattern; // must not occur
        const char *why;
    } rules[] = {
        // "Update" is 更新; 升级 only in 升级模式 (update mode) and 升级程序 (the bootloader).
        {"zh_CN", "升级(?!模式|程序)", "update is 更新"}, {"zh_CN", "引导程序", "the bootloader is 升级程序"},
        {"zh_CN", "2\\.4\\s*[gG](?!Hz)", "2.4 GHz"},      {"en", "does not suit", "is not compatible with"},
        {"en", "2\\.4\\s*[gG](?!Hz)", "2.4 GHz"},
    };
    std::map<QString, int> checked;
    for (const auto &rule : rules) {
        const QString language = QString::fromLatin1(rule.language);
        const QRegularExpression pattern(QString::fromUtf8(rule.pattern));
        ASSERT_TRUE(pattern.isValid()) << rule.pattern;
        const auto texts = translations(language);
        checked[language] = static_cast<int>(texts.size());
        for (const auto &[id, text] : texts)
            EXPECT_FALSE(text.contains(pattern))
                << qPrintable(id) << ": " << qPrintable(text) << " (" << rule.why << ")";
    }
    EXPECT_GE(checked[QStringLiteral("en")], 100);
    EXPECT_EQ(checked[QStringLiteral("en")], checked[QStringLiteral("zh_CN")]);
}

TEST(Texts, ProductNamesSayWhatEachProductIs)
{
    // A Chinese bird word belongs to one English model name.
    const struct
    {
        const char *chinese;
        const char *english;
    } birds[] = {{"海鹦", "Puffin"}, {"海雀", "Auk"}, {"夜鹰", "Nightjar"}, {"伯劳", "Shrike"}};
    const QRegularExpression twoPointFourG(QStringLiteral("2\\.4\\s*[gG](?!Hz)"));
    test::ScopedLanguages chinese({QStringLiteral("zh-Hans-CN")});
    int named = 0;
    for (const auto &entry : SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs()) {
        const QString english = entry->storedName();
        const QString name = entry->name();
        EXPECT_FALSE(english.contains(twoPointFourG)) << qPrintable(english);
        EXPECT_FALSE(name.contains(twoPointFourG)) << qPrintable(name);
        if (name == english)
            continue;
        ++named;
        for (const auto &bird : birds) {
            EXPECT_EQ(name.contains(QString::fromUtf8(bird.chinese)), english.contains(QLatin1String(bird.english)))
                << qPrintable(english) << " is " << qPrintable(name);
        }
        // Receivers and adapters are not gamepads (手柄).
        SFenwykDevice device;
        device.setDetails(entry);
        const auto *row = guide_table::rowFor(device);
        if (row && (row->kind == guide_table::Kind::Receiver || row->kind == guide_table::Kind::Adapter)) {
            EXPECT_FALSE(name.contains(QString::fromUtf8("手柄"))) << qPrintable(english) << " is " << qPrintable(name);
        }
    }
    EXPECT_GE(named, 20);
}

TEST(Texts, SideButtonTitlesFitTheirButton)
{
    // The update screen's left button is 100 pixels wide and draws its title in 16-pixel Arial.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    const QFontMetrics metrics(font);
    for (const char *language : {"en", "zh_CN"}) {
        test::ScopedTranslations texts(QString::fromLatin1(language));
        for (const char *key : {"other", "close"}) {
            const QString title = qtTrId(key);
            EXPECT_NE(title, QString::fromLatin1(key)) << language << " " << key;
            EXPECT_LE(metrics.horizontalAdvance(title), 100 - 2 * 6)
                << language << " " << key << ": " << qPrintable(title);
        }
    }
}
