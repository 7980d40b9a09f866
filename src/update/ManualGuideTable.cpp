#include "update/ManualGuideTable.h"

#include "platform/Bundle.h"

#include <algorithm>

namespace flashwell::guide_table {

namespace {

using Lines = std::array<const char *, 3>;

// Key sets: the lines that several rows share.
constexpr Lines kSet1{"guideSet1_1", "guideSet1_2", "guideSet1_3"};
constexpr Lines kSet2{"guideSet2_1", "guideSet2_2", "guideSet2_3"};
constexpr Lines kSet3{"guideSet3_1", "guideSet3_2", "guideSet3_3"};
constexpr Lines kSet4{"guideSet4_1", "guideSet4_2", nullptr}; // receiver
constexpr Lines kSet5{"guideSet5_1", "guideSet5_2", nullptr}; // USB receiver
constexpr Lines kSet6{"guideSet6_1", "guideSet6_2", nullptr};
constexpr Lines kSet7{"guideSet7_1", "guideSet7_2", "guideSet7_3"};
constexpr Lines kSet8{"guideSet8_1", "guideSet8_2", "guideSet8_3"};
constexpr Lines kSet9{"guideSet9_1", "guideSet9_2", "guideSet9_3"};
constexpr Lines kSet10{"guideSet10_1", "guideSet10_2", "guideSet10_3"};
constexpr Lines kSet11{"guideSet11_1", "guideSet11_2", "guideSet11_3"};
constexpr Lines kSet12{"guideSet12_1", "guideSet12_2", "guideSet12_3"};
constexpr Lines kSet13{"guideSet13_1", "guideSet13_2", "guideSet13_3"}; // arcade receiver
constexpr Lines kSet14{"guideKeyA", "guideKeyB", nullptr};
constexpr Lines kSet15{"guideKeyA", "guide37_2", nullptr};
constexpr Lines kSet16{"HOMEKey", "guideKeyB", nullptr};
constexpr Lines kKit14{"guideKit14_1", "guideKit14_2", nullptr};
constexpr Lines kKit15{"guideKit15_1", "guideKit15_2", nullptr};
constexpr Lines kKit16{"guideKit16_1", "guideKit16_2", nullptr};
constexpr Lines kKit24{"guideKit24_1", "guideKit24_2", nullptr};
constexpr Lines kKit27{"guideKit27_1", "guideKit27_2", nullptr};
constexpr Lines kGuide51{"guideSet11_1", "guide51_2", "guideSet12_3"};

using Row = GuideRow;

constexpr auto kPad = Kind::Gamepad;
constexpr auto kStick = Kind::ArcadeStick;
constexpr auto kReceiver = Kind::Receiver;
constexpr auto kAdapter = Kind::Adapter;
constexpr auto kKit = Kind::ModKit;

constexpr Row kTypeRows[] = {
    {1, "guide_1", nullptr, kSet2, kPad, true},
    {4, "guide_4", nullptr, kSet1, kPad},
    {9, "guide_9", nullptr, kSet1, kPad},
    {13, "guide_13", nullptr, kSet1, kPad},
};

// One row per key (catalogue type, plus 1 for a receiver's guide). Every row shows the product
// filed under its key: 11 the Bridge Adapter, 21 the Swift Receiver, 35 the Robin Lite, 42 the
// Summit Adapter; 49, 52 and 58 the receivers of the Summit Pad, Bolt Duo and Vireo Duo.
constexpr Row kKeyedRows[] = {
    {2, "guide_2", "guide_2_F", kSet3, kPad},      {3, "guide_3", nullptr, kSet3, kPad},
    {5, "guide_4", nullptr, kSet1, kPad},          {6, "guide_6", nullptr, kSet4, kReceiver},
    {7, "guide_7", "guide_7_F", kSet4, kReceiver}, {8, "guide_8", nullptr, kSet5, kAdapter},
    {10, "guide_10", nullptr, kSet3, kPad},        {11, "guide_11", nullptr, kSet5, kAdapter},
    {14, "guide_14", nullptr, kKit14, kPad},       {15, "guide_15", nullptr, kKit15, kPad},
    {16, "guide_16", nullptr, kKit16, kPad},       {20, "guide_20", nullptr, kSet6, kPad},
    {21, "guide_21", nullptr, kSet4, kReceiver},   {22, "guide_22", nullptr, kSet4, kReceiver},
    {23, "guide_23", nullptr, kSet7, kKit},        {24, "guide_24", nullptr, kKit24, kPad},
    {25, "guide_25", nullptr, kSet8, kPad},        {26, "guide_26", nullptr, kKit15, kPad},
    {27, "guide_27", nullptr, kKit27, kPad},       {28, "guide_28", nullptr, kSet9, kPad},
    {30, "guide_30", nullptr, kSet10, kPad},       {31, "guide_31", nullptr, kSet11, kPad},
    {33, "guide_33", nullptr, kSet8, kStick},      {34, "guide_34", nullptr, kSet12, kStick},
    {35, "guide_35", nullptr, kSet10, kPad},       {36, "guide_36", nullptr, kSet14, kPad},
    {37, "guide_37", nullptr, kSet15, kPad},       {38, "guide_33", nullptr, kSet8, kStick},
    {39, "guide_8", nullptr, kSet5, kAdapter},     {40, "guide_40", nullptr, kSet14, kPad},
    {41, "guide_41", nullptr, kSet16, kPad},       {42, "guide_42", nullptr, kSet5, kAdapter},
    {43, "guide_41", nullptr, kSet16, kPad},       {44, "guide_44", nullptr, kSet13, kReceiver},
    {45, "guide_45", nullptr, kSet14, kPad},       {46, "guide_28", nullptr, kSet9, kPad},
    {47, "guide_28", nullptr, kSet9, kPad},        {48, "guide_48", nullptr, kSet16, kPad},
    {49, "guide_49", nullptr, kSet13, kReceiver},  {50, "guide_50", nullptr, kSet14, kKit},
    {51, "guide_51", nullptr, kGuide51, kKit},     {52, "guide_52", nullptr, kSet13, kReceiver},
    {53, "guide_53", nullptr, kSet14, kKit},       {54, "guide_54", nullptr, kSet7, kKit},
    {55, "guide_55", nullptr, kSet3, kPad},        {57, "guide_57", nullptr, kSet3, kPad},
    {58, "guide_58", nullptr, kSet13, kReceiver},  {59, "guide_59", nullptr, kSet4, kReceiver},
    {60, "guide_60", nullptr, kSet3, kPad},
};

constexpr const char *kRecoveryLines[] = {"guideRecover_1", "guideRecover_2", "guideRecover_3"};

const Row *findRow(std::span<const Row> rows, int key)
{
    const auto it = std::find_if(rows.begin(), rows.end(), [key](const Row &row) { return row.key == key; });
    return it == rows.end() ? nullptr : &*it;
}

} // namespace

std::span<const GuideRow> typeRows()
{
    return kTypeRows;
}

std::span<const GuideRow> keyedRows()
{
    return kKeyedRows;
}

const GuideRow *rowFor(SFenwykDevice &device)
{
    const SFenwykDataDetailsPtr details = device.details();
    if (!details)
        return nullptr;
    const Row *row = findRow(kTypeRows, details->type);
    const int key = details->type + (device.isManuanlViewRR ? 1 : 0);
    if (key >= 2 && key <= 60) {
        if (const Row *keyed = findRow(kKeyedRows, key))
            row = keyed;
    }
    return row;
}

std::span<const char *const> recoveryLines()
{
    return kRecoveryLines;
}

QString recoveryPicture(SFenwykDevice &device)
{
    const SFenwykDataDetailsPtr details = device.details();
    // The chooser's picture: the one the user knows the product by, and large enough to recognise.
    if (details && !details->moreImage.isEmpty())
        return details->moreImage;
    return QStringLiteral("device_default");
}

const char *pictureFor(const GuideRow &row, const QString &catalogueName)
{
    if (!row.pictureWithF)
        return row.picture;
    // Every name starts with the maker's word, which has an "F" of its own: look at the model.
    static const QString maker = QStringLiteral("Fenwyk ");
    const QString model = catalogueName.startsWith(maker) ? catalogueName.mid(maker.size()) : catalogueName;
    return model.contains(QLatin1Char('F')) ? row.pictureWithF : row.picture;
}

QStringList lines(SFenwykDevice &device, bool error)
{
    const GuideRow *row = rowFor(device);
    QStringList texts;
    for (const char *key : row ? std::span<const char *const>(row->lines) : recoveryLines()) {
        if (key)
            texts.append(Bundle::localizedString(key));
    }
    if (error && !texts.isEmpty())
        texts.first().replace(QLatin1Char('3'), QLatin1Char('8'));
    return texts;
}

} // namespace flashwell::guide_table
