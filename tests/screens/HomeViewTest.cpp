// Catches: wrong home controls or device lines, a release query or offer for the wrong device, broken arrows.
#include "screens/HomeView.h"
#include "platform/Bundle.h"
#include "platform/VirtualScheduler.h"
#include "ui/AppKitFrame.h"
#include "ui/SLoadXIB.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

#include "support/ShippedDevices.h"
#include "support/TestSupport.h"
#include "support/WidgetTestSupport.h"

#include <memory>

using namespace flashwell;
using flashwell::test::shippedDevice;

namespace {

class RecordingHomeDelegate final : public QObject, public HomeViewDelegate
{
public:
    void firmwaerUpdateClick(const SFenwykDevicePtr &d, int32_t from) override { clicks.push_back({d, from}); }
    void hasNewFirmwaerVersion(const SFenwykDevicePtr &d, const Firmware &f) override { offers.push_back({d, f}); }
    std::vector<std::pair<SFenwykDevicePtr, int32_t>> clicks;
    std::vector<std::pair<SFenwykDevicePtr, Firmware>> offers;
};

struct Query
{
    int type;
    float version;
    int beta;
};

class HomeViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        home = load(host);
        ASSERT_NE(home, nullptr);
        HomeView::Server server;
        server.recordActivity = [this](int type) { activity.push_back(type); };
        server.getNewVersion = [this](int type, float version, int beta, const QObject *, SHttp::FirmwareSuccess ok,
                                      SHttp::Failure fail) {
            queries.push_back({type, version, beta});
            pendingOk = std::move(ok);
            pendingFail = std::move(fail);
        };
        home->awakeFromNib(clock, server);
        home->setDelegate(&delegate);
    }
    static HomeView *load(QWidget &into)
    {
        into.resize(800, 560);
        HomeView::registerClass();
        return qobject_cast<HomeView *>(SLoadXIB::loadXibName(QStringLiteral("HomeView"), &into));
    }
    QList<QAbstractButton *> lines() const
    {
        return home->FindsView->findChildren<QAbstractButton *>(QString(), Qt::FindDirectChildrenOnly);
    }

    VirtualScheduler clock; // outlives the screens, which stop their animation on the way out
    QWidget host;
    HomeView *home = nullptr;
    RecordingHomeDelegate delegate;
    std::vector<int> activity;
    std::vector<Query> queries;
    SHttp::FirmwareSuccess pendingOk;
    SHttp::Failure pendingFail;
};

TEST_F(HomeViewTest, WaitingAndFoundStatesShowTheirControls)
{
    ASSERT_TRUE(home->firmwaerUpdaterButton && home->usb && home->FindsView && home->usbView && home->helpButton);
    auto d = shippedDevice(0x3100, 1.5f);
    for (const bool found : {false, true, false}) {
        SCOPED_TRACE(found);
        if (found)
            home->addSFenwykDevice(d);
        else
            home->removeSFenwykDevice(d);
        home->refresh();
        EXPECT_EQ(home->usb->isHidden(), found);
        EXPECT_EQ(home->usbView->isHidden(), found);
        EXPECT_EQ(home->helpButton->isHidden(), found);
        EXPECT_EQ(home->FindsView->isHidden(), !found);
        EXPECT_EQ(home->firmwaerUpdaterButton->isHidden(), !found);
    }
    // Other state values change nothing.
    home->setState(7);
    EXPECT_FALSE(home->usb->isHidden());
    EXPECT_EQ(test::pointSizedFonts(*home), QStringList());
}

TEST_F(HomeViewTest, DeviceLinesAre25PointsApartAndSayNameVersionAndBeta)
{
    const QString connect = Bundle::localizedString("Connect");
    const struct
    {
        SFenwykDevicePtr device;
        QString expected;
    } rows[] = {
        {shippedDevice(0x3100, 1.5f), QStringLiteral("Fenwyk Crane V1.50  ") + connect},
        {shippedDevice(0x3100, 1.2f, 3), QStringLiteral("Fenwyk Crane V1.20 beta 3 ") + connect},
        {shippedDevice(0x3103, 0.0f), QStringLiteral("Fenwyk Swift Receiver ") + connect},
        {shippedDevice(0x3103, 1.0f), QStringLiteral("Fenwyk Swift Receiver V1.00  ") + connect},
        {shippedDevice(0x3100, 0.0f), QStringLiteral("Fenwyk Crane V0.00  ") + connect},
        {shippedDevice(0x7777, 2.0f), QStringLiteral("USB Gamepad V2.00  ") + connect}, // not in the catalogue
    };
    for (const auto &row : rows)
        EXPECT_EQ(HomeView::deviceLine(*row.device), row.expected);

    auto crane = shippedDevice(0x3100, 1.5f);
    home->addSFenwykDevice(crane);
    home->addSFenwykDevice(shippedDevice(0x9025, 2.0f));
    ASSERT_EQ(lines().size(), 2);
    const qreal originY = AppKitFrame::frame(home->FindsView).y();
    for (int i = 0; i < 2; ++i) {
        const QRectF frame = AppKitFrame::frame(lines()[i]);
        EXPECT_EQ(frame.x(), 0);
        EXPECT_EQ(frame.width(), home->FindsView->width());
        EXPECT_EQ(frame.y(), originY - 25 * (i + 1)) << i;
        EXPECT_TRUE(
            lines()[i]->text().startsWith(i == 0 ? QStringLiteral("Fenwyk Crane") : QStringLiteral("Fenwyk Tern")));
    }
    // A refresh rebuilds the lines rather than adding more; removing a device the screen does not
    // hold (another record of the same product, or none) changes nothing.
    home->refresh();
    home->removeSFenwykDevice(shippedDevice(0x3100, 1.5f));
    home->removeSFenwykDevice(nullptr);
    EXPECT_EQ(lines().size(), 2);
    EXPECT_EQ(home->moreDevice(), crane);
}

TEST_F(HomeViewTest, NewestReleaseQueryOnlyOnRepeatedReportsAndNeverForVersionZero)
{
    const struct
    {
        const char *what;
        SFenwykDevicePtr device;
        int reports;
        std::vector<float> queried;
    } rows[] = {
        {"first report only", shippedDevice(0x3100, 1.5f), 1, {}},
        {"second report asks, rounded", shippedDevice(0x3100, 1.2345f), 2, {1.23f}},
        {"each repeat asks again", shippedDevice(0x3100, 1.10f), 3, {1.10f, 1.10f}},
        {"version 0 never asks", shippedDevice(0x3100, 0.0f), 3, {}},
        {"a product the catalogue does not know never asks", shippedDevice(0x7777, 1.0f), 3, {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        queries.clear();
        activity.clear();
        for (int i = 0; i < row.reports; ++i)
            home->addSFenwykDevice(row.device);
        ASSERT_EQ(queries.size(), row.queried.size());
        for (std::size_t i = 0; i < queries.size(); ++i) {
            EXPECT_EQ(queries[i].type, 17);
            EXPECT_FLOAT_EQ(queries[i].version, row.queried[i]);
            EXPECT_EQ(queries[i].beta, 0);
        }
        // The activity report goes out on every report of a known product, before anything else.
        const int known = row.device->details() ? row.reports : 0;
        EXPECT_EQ(activity, std::vector<int>(static_cast<std::size_t>(known), 17));
        home->removeSFenwykDevice(row.device);
    }
    EXPECT_TRUE(home->devices().isEmpty());
    // No device, no question.
    home->loadNewGameVersion(17, 1.5f, 0, nullptr);
    EXPECT_TRUE(queries.empty());
}

TEST_F(HomeViewTest, EachDeviceGetsItsOwnOfferAndCanBeChosen)
{
    auto first = shippedDevice(0x3100, 1.0f);
    auto second = shippedDevice(0x9025, 1.0f, 2);
    home->addSFenwykDevice(first);
    home->addSFenwykDevice(second);
    home->addSFenwykDevice(second); // the second device's repeat asks for its own type
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(queries[0].type, 37);
    EXPECT_EQ(queries[0].beta, 2);
    // A failed reply offers nothing.
    pendingFail(HttpError{});
    EXPECT_TRUE(delegate.offers.empty());
    Firmware offer;
    offer.version = 1.1f;
    pendingOk(offer);
    ASSERT_EQ(delegate.offers.size(), 1u);
    EXPECT_EQ(delegate.offers[0].first, second) << "the offer answers the second device's query";
    EXPECT_FLOAT_EQ(delegate.offers[0].second.version, 1.1f);

    // An answer for a device that has left is dropped, though another device stays.
    home->addSFenwykDevice(second);
    home->removeSFenwykDevice(second);
    pendingOk(offer);
    EXPECT_EQ(delegate.offers.size(), 1u);
    home->addSFenwykDevice(second);

    // The big button opens the first device; each line opens its own, by pointer or keyboard.
    QTest::mouseClick(home->firmwaerUpdaterButton, Qt::LeftButton);
    ASSERT_EQ(lines().size(), 2);
    EXPECT_EQ(lines()[1]->accessibleName(), HomeView::deviceLine(*second));
    EXPECT_NE(lines()[1]->focusPolicy() & Qt::TabFocus, 0);
    QTest::mouseClick(lines()[1], Qt::LeftButton);
    lines()[0]->setFocus();
    QTest::keyClick(lines()[0], Qt::Key_Return);
    ASSERT_EQ(delegate.clicks.size(), 3u);
    EXPECT_EQ(delegate.clicks[0].first, first);
    EXPECT_EQ(delegate.clicks[1].first, second);
    EXPECT_EQ(delegate.clicks[2].first, first);
    for (const auto &click : delegate.clicks)
        EXPECT_EQ(click.second, 0);

    // An answer arriving after the last device left offers nothing either.
    home->addSFenwykDevice(first);
    home->removeSFenwykDevice(first);
    home->removeSFenwykDevice(second);
    pendingOk(Firmware{});
    EXPECT_EQ(delegate.offers.size(), 1u);
}

TEST_F(HomeViewTest, ArrowsAnimateEvery1800MsIn500MsSteps)
{
    const struct
    {
        int64_t atMs;
        bool a1, a2, a3;
    } rows[] = {
        // The animation ran once when the screen woke up, at time 0.
        {0, false, false, true},     {499, false, false, true},   {500, false, true, true},   {1000, true, true, true},
        {1500, false, false, false}, {1799, false, false, false}, {1800, false, false, true}, {2300, false, true, true},
        {2800, true, true, true},    {3300, false, false, false},
    };
    for (const auto &row : rows) {
        clock.advance(row.atMs - clock.nowMs());
        SCOPED_TRACE(row.atMs);
        EXPECT_EQ(!home->arrow01->isHidden(), row.a1);
        EXPECT_EQ(!home->arrow02->isHidden(), row.a2);
        EXPECT_EQ(!home->arrow03->isHidden(), row.a3);
    }
}

TEST_F(HomeViewTest, HelpButtonOpensAWindowModalAlert)
{
    QTest::mouseClick(home->helpButton, Qt::LeftButton);
    auto *alert = host.findChild<QMessageBox *>(QStringLiteral("helpAlert"));
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
    EXPECT_EQ(alert->text(), Bundle::localizedString("MacOS"));
    EXPECT_EQ(alert->informativeText(), Bundle::localizedString("MacOSTisp"));
    EXPECT_EQ(alert->buttons().size(), 1);
    alert->close();
}

TEST_F(HomeViewTest, TheUsbHintFitsItsLabelInBothLanguages)
{
    for (const char *language : {"en", "zh_CN"}) {
        test::ScopedTranslations translations{QString::fromLatin1(language)};
        QWidget other;
        HomeView *translated = load(other);
        ASSERT_NE(translated, nullptr);
        translated->awakeFromNib(clock, HomeView::Server{});
        const QLabel *usb = translated->usb;
        ASSERT_NE(usb, nullptr);
        // At a desktop's 96 dots per inch (the offscreen platform has fewer), a line longer than
        // the label must wrap, and the wrapped lines must fit its height.
        QFont font = usb->font();
        font.setPixelSize(qRound(font.pointSizeF() * 96 / 72));
        const QFontMetrics metrics(font);
        const QRect area = usb->contentsRect();
        const QRect needed =
            metrics.boundingRect(area, static_cast<int>(usb->alignment()) | Qt::TextWordWrap, usb->text());
        EXPECT_TRUE(usb->wordWrap() || metrics.horizontalAdvance(usb->text()) <= area.width()) << language;
        EXPECT_LE(needed.height(), area.height()) << language;
        EXPECT_LE(needed.width(), area.width()) << language;
    }
}

TEST(HomeViewWithoutOutlets, MissingControlsAreLeftOutWithOneWarningEach)
{
    VirtualScheduler clock;
    HomeView bare;
    test::WarningCounter warnings;
    HomeView::Server quiet;
    quiet.recordActivity = [](int) {};
    quiet.getNewVersion = nullptr; // no server to ask: repeated reports ask nothing
    bare.awakeFromNib(clock, quiet);
    EXPECT_EQ(warnings.count(), 8);
    auto d = shippedDevice(0x3100, 1.0f);
    bare.addSFenwykDevice(d);
    bare.addSFenwykDevice(d);
    clock.advance(4000);
    bare.firmwaerUpdateClick();
    EXPECT_EQ(bare.moreDevice(), d);
}

} // namespace
