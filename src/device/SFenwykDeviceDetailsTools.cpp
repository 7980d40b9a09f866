#include "device/SFenwykDeviceDetailsTools.h"

#include "device/Language.h"
#include "platform/Bundle.h"
#include "platform/Logging.h"

#include <QFile>
#include <QSet>

#include <plist/plist.h>

#include <memory>

namespace flashwell {

namespace {

SFenwykCatalogue loadBundledCatalogue()
{
    QFile file(Bundle::resourcePath(QStringLiteral("SFenwykDevice.plist")));
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcDevice) << "device catalogue missing:" << file.fileName();
        return {};
    }
    return SFenwykDeviceDetailsTools::parseCatalogue(file.readAll());
}

SFenwykCatalogue &catalogue()
{
    static SFenwykCatalogue entries = loadBundledCatalogue();
    return entries;
}

struct PlistDeleter
{
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};

bool readInteger(plist_t dict, const char *key, int64_t &out)
{
    plist_t node = plist_dict_get_item(dict, key);
    if (!node)
        return false;
    if (plist_get_node_type(node) != PLIST_UINT)
        return false;
    uint64_t raw = 0;
    plist_get_uint_val(node, &raw);
    out = static_cast<int64_t>(raw); // libplist keeps negative integers as two's complement
    return true;
}

QString readString(plist_t dict, const char *key)
{
    plist_t node = plist_dict_get_item(dict, key);
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return {};
    uint64_t length = 0;
    const char *text = plist_get_string_ptr(node, &length);
    return text ? QString::fromUtf8(text, static_cast<qsizetype>(length)) : QString();
}

// The 23 China-language names, by product type (type 7 by pid as well).
struct ChinaName
{
    int32_t type;
    int32_t pid; // only for type 7
    const char *name;
};
constexpr ChinaName kChinaNames[] = {
    {4, 0, "Fenwyk 海鹦 手柄"},          {5, 0, "Fenwyk 海鹦 轻装版"},         {6, 0, "Fenwyk 伯劳 接收器"},
    {7, 0xA5A5, "Fenwyk 夜鹰 接收器"},   {7, 0x2DC8, "Fenwyk 夜鹰 F1 接收器"}, {8, 0, "Fenwyk 信天翁 适配器"},
    {21, 0, "Fenwyk 雨燕 接收器"},       {22, 0, "Fenwyk 喜鹊 接收器"},        {31, 0, "Fenwyk 知更鸟 Pro"},
    {34, 0, "Fenwyk 红隼 Pro 街机摇杆"}, {36, 0, "Fenwyk 燕鸥 手柄"},          {37, 0, "Fenwyk 燕鸥 Pro"},
    {39, 0, "Fenwyk 鸻 适配器"},         {40, 0, "Fenwyk 鹤 无线版"},          {41, 0, "Fenwyk 鹤 双模版"},
    {42, 0, "Fenwyk 峰顶 适配器"},       {43, 0, "Fenwyk 鹤 双模 Pro"},        {44, 0, "Fenwyk 峰顶 2.4 GHz 适配器"},
    {45, 0, "Fenwyk 秃鹫 轻装版"},       {48, 0, "Fenwyk 峰顶 手柄"},          {49, 0, "Fenwyk 峰顶 接收器"},
    {50, 0, "Fenwyk 闪电 Pro 改装套件"}, {59, 0, "Fenwyk 绿鹃 Pro"},
};

const ChinaName *findChinaName(int32_t type, int32_t pid)
{
    for (const auto &entry : kChinaNames) {
        if (entry.type == type && (type != 7 || entry.pid == pid))
            return &entry;
    }
    return nullptr;
}

} // namespace

const SFenwykCatalogue &SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs()
{
    return catalogue();
}

SFenwykCatalogue SFenwykDeviceDetailsTools::getMoreFenwykDevicePIDVIDAndNAMEs()
{
    // Entries of one `order` are one item only when they share a firmware type: a product in its
    // bootloader picked through another product's item would be offered that product's firmware.
    SFenwykCatalogue out;
    QSet<std::pair<int64_t, int32_t>> taken;
    for (const auto &entry : catalogue()) {
        const std::pair<int64_t, int32_t> item{entry->order, entry->type};
        if (taken.contains(item))
            continue;
        taken.insert(item);
        out.append(entry);
    }
    return out;
}

QString SFenwykDeviceDetailsTools::getNameWith(int32_t type, int32_t pid, const QString &name)
{
    if (!Language::isCurrentChinaLanguage())
        return name;
    const ChinaName *entry = findChinaName(type, pid);
    return entry ? QString::fromUtf8(entry->name) : name;
}

SFenwykCatalogue SFenwykDeviceDetailsTools::parseCatalogue(const QByteArray &bytes)
{
    plist_t rootRaw = nullptr;
    if (!bytes.isEmpty())
        plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &rootRaw);
    std::unique_ptr<void, PlistDeleter> root(rootRaw);
    if (!root || plist_get_node_type(rootRaw) != PLIST_ARRAY) {
        qCWarning(lcDevice) << "device catalogue is malformed (root is not an array); using an empty catalogue";
        return {};
    }
    SFenwykCatalogue out;
    const uint32_t count = plist_array_get_size(rootRaw);
    for (uint32_t i = 0; i < count; ++i) {
        plist_t dict = plist_array_get_item(rootRaw, i);
        if (!dict || plist_get_node_type(dict) != PLIST_DICT) {
            qCWarning(lcDevice) << "device catalogue entry" << i << "is not a dictionary; using an empty catalogue";
            return {};
        }
        auto entry = std::make_shared<SFenwykDataDetails>();
        int64_t number = 0;
        entry->setName(readString(dict, "name"));
        if (readInteger(dict, "pid", number))
            entry->pid = static_cast<uint16_t>(number);
        if (readInteger(dict, "vid", number))
            entry->vid = static_cast<uint16_t>(number);
        if (readInteger(dict, "type", number))
            entry->type = static_cast<int32_t>(number);
        if (readInteger(dict, "order", number))
            entry->order = number;
        entry->miniImageName = readString(dict, "miniImageName");
        entry->moreImage = readString(dict, "moreImage");
        entry->moreImagehighlight = readString(dict, "moreImagehighlight");
        out.append(entry);
    }
    return out;
}

SFenwykCatalogue SFenwykDeviceDetailsTools::replaceCatalogue(SFenwykCatalogue replacement)
{
    SFenwykCatalogue previous = std::move(catalogue());
    catalogue() = std::move(replacement);
    return previous;
}

} // namespace flashwell
