#include "device/SFenwykDeviceDetailsTools.h"
#include "ui/Picture.h"
#include "ui/SLabel.h"
#include "update/DeviceManualView.h"

#include <QFontMetrics>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "GuideContract.h"
#include "support/WidgetTestSupport.h"

#include <set>

using namespace flashwell;

namespace {

bool inked(const Picture &picture)
{
    const QImage image = picture.pixmap(QSize(64, 64)).toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return true;
    return false;
}

QStringList guideKeys()
{
    std::set<QString> keys;
    for (const auto &[key, row] : test::guideContract())
        for (const QString &k : row.keys)
            keys.insert(k);
    for (auto rows : {DeviceManualView::typeRows(), DeviceManualView::keyedRows()})
        for (const auto &row : rows)
            for (const char *k : row.lines)
                if (k)
                    keys.insert(QString::fromLatin1(k));
    return {keys.begin(), keys.end()};
}

} // namespace

TEST(Artwork, EveryPictureTheCatalogueTheScreensAndTheGuideNameExists)
{
    QStringList names = {
        QStringLiteral("device_default"),
        QStringLiteral("receiver_default"),
        QStringLiteral("receiver_48"),
        QStringLiteral("receiver_57"),
        QStringLiteral("usb"),
        QStringLiteral("usb_arrow"),
        QStringLiteral("updateButton_normal"),
        QStringLiteral("updateButton_highlight"),
        QStringLiteral("checkbox_nomal"),
        QStringLiteral("checkbox_highlight"),
        QStringLiteral("checkbox_selected"),
        QStringLiteral("back"),
        QStringLiteral("flashwell"),
        QStringLiteral("guide_1_sub"),
    };
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
    for (const auto &[key, row] : test::guideContract()) {
        names << row.picture;
        if (!row.pictureWithF.isEmpty())
            names << row.pictureWithF;
    }
    names.removeDuplicates();
    test::WarningCounter warnings;
    for (const QString &name : names) {
        const Picture picture = Picture::imageNamed(name);
        ASSERT_FALSE(picture.isNull()) << name.toStdString();
        EXPECT_FALSE(picture.size().isEmpty()) << name.toStdString();
        EXPECT_TRUE(inked(picture)) << name.toStdString();
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
    keys << QStringLiteral("back") << QStringLiteral("backHint") << QStringLiteral("SButtonProgress")
         << QStringLiteral("SMiniImageViewHint") << QStringLiteral("guidePicture") << QStringLiteral("guidePictureHint")
         << QStringLiteral("guideErrorHint") << QStringLiteral("releaseNotes") << QStringLiteral("releaseNotesOkHint")
         << QStringLiteral("update") << QStringLiteral("success");
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
