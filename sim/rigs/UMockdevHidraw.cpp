#include "rigs/UMockdevHidraw.h"
#include "device/UsbIdentities.h"

#include <QMetaObject>
#include <QTimer>

#include <umockdev.h>

#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <span>
#include <string>

namespace flashwell::lab {

namespace {

// Vendor page, 64-byte input and output reports.
constexpr uint8_t kUnnumbered[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
                                   0x95, 0x40, 0x09, 0x01, 0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0};
// The same with Report ID 1 declared, as a gamepad in a borrowed identity has.
constexpr uint8_t kNumbered[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x15,
                                 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F, 0x09, 0x01,
                                 0x81, 0x02, 0x95, 0x3F, 0x09, 0x01, 0x91, 0x02, 0xC0};

std::string hex4(uint16_t v)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", v);
    return text;
}

template <typename T> void answer(UMockdevIoctlClient *client, const T &value)
{
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    GError *error = nullptr;
    UMockdevIoctlData *target = umockdev_ioctl_data_resolve(arg, 0, sizeof(T), &error);
    if (!target) {
        g_clear_error(&error);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    std::array<guint8, sizeof(T)> bytes{};
    std::memcpy(bytes.data(), &value, sizeof(T));
    umockdev_ioctl_data_update(target, 0, bytes.data(), sizeof(T));
    g_object_unref(target);
    umockdev_ioctl_client_complete(client, 0, 0);
}

} // namespace

struct UMockdevHidraw::Node
{
    UMockdevHidraw *bridge = nullptr;
    int index = 0;
    HidIdentity identity;
    bool numbered = false;
    std::string hidSyspath;
    std::string rawSyspath;
    std::string devnode;
    QPointer<HidDevice> deviceSide; // the model's device on the virtual bus
    HidReport inputBuffer{};
    UMockdevIoctlBase *handler = nullptr;
    int masterFd = -1;
    std::string nodeFile;   // set while the node is held back
    std::string nodeTarget; // what it links to
    std::mutex mutex;
    std::deque<std::vector<uint8_t>> reports; // for the host, in order
    bool gone = false;
};

namespace {

gboolean onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer data)
{
    auto *node = static_cast<UMockdevHidraw::Node *>(data);
    const std::span<const uint8_t> descriptor =
        node->numbered ? std::span<const uint8_t>(kNumbered) : std::span<const uint8_t>(kUnnumbered);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    if (request == HIDIOCGRDESCSIZE) {
        const int size = static_cast<int>(descriptor.size());
        answer(client, size);
        return TRUE;
    }
    if (request == HIDIOCGRDESC) {
        hidraw_report_descriptor value{};
        value.size = static_cast<uint32_t>(descriptor.size());
        std::memcpy(value.value, descriptor.data(), descriptor.size());
        answer(client, value);
        return TRUE;
    }
    if (request == HIDIOCGRAWINFO) {
        hidraw_devinfo info{};
        info.bustype = 3; // USB
        info.vendor = static_cast<int16_t>(node->identity.vendorId);
        info.product = static_cast<int16_t>(node->identity.productId);
        answer(client, info);
        return TRUE;
    }
    umockdev_ioctl_client_complete(client, -1, ENOTTY);
    return TRUE;
}

} // namespace

// Defined as members' helpers so that they can reach the bridge.
static gboolean onWrite(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer data);
static gboolean onRead(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer data);

UMockdevHidraw::UMockdevHidraw(VirtualHidBus &deviceSide, QObject *parent)
    : QObject(parent)
    , m_testbed(umockdev_testbed_new())
{
    connect(&deviceSide, &HidBackend::deviceArrived, this, &UMockdevHidraw::onPlugged);
    connect(&deviceSide, &HidBackend::deviceRemoved, this, &UMockdevHidraw::onUnplugged);
}

UMockdevHidraw::~UMockdevHidraw()
{
    for (auto &node : m_nodes)
        removeNode(*node);
    g_object_unref(m_testbed);
    for (auto &node : m_nodes)
        if (node->handler)
            g_object_unref(node->handler);
}

bool UMockdevHidraw::inMockEnvironment()
{
    return umockdev_in_mock_environment();
}

std::vector<UMockdevHidraw::Write> UMockdevHidraw::writes() const
{
    std::lock_guard lock(m_writesMutex);
    return m_writes;
}

void UMockdevHidraw::onPlugged(HidDevice *device)
{
    auto node = std::make_unique<Node>();
    node->bridge = this;
    node->index = static_cast<int>(m_nodes.size());
    node->identity = {static_cast<uint16_t>(device->property(kHidVendorIDKey).toUInt()),
                      static_cast<uint16_t>(device->property(kHidProductIDKey).toUInt()),
                      device->property(kHidProductKey).toString()};
    node->numbered = node->identity.vendorId == usb::kSwitchVendorId || node->identity.vendorId == usb::kSonyVendorId;
    node->deviceSide = device;

    const std::string n = std::to_string(node->index);
    const std::string vid = hex4(node->identity.vendorId);
    const std::string pid = hex4(node->identity.productId);
    const std::string product = node->identity.product.toStdString();
    std::string vidLower = vid;
    std::string pidLower = pid;
    for (char &c : vidLower)
        c = static_cast<char>(std::tolower(c));
    for (char &c : pidLower)
        c = static_cast<char>(std::tolower(c));

    gchar *usb =
        umockdev_testbed_add_device(m_testbed, "usb", ("1-" + n).c_str(), nullptr, "idVendor", vidLower.c_str(),
                                    "idProduct", pidLower.c_str(), "manufacturer", "Fenwyk", "product", product.c_str(),
                                    "bcdDevice", "0100", nullptr, "DEVTYPE", "usb_device", nullptr);
    gchar *intf = umockdev_testbed_add_device(m_testbed, "usb", ("1-" + n + ":1.0").c_str(), usb, "bInterfaceNumber",
                                              "00", nullptr, "DEVTYPE", "usb_interface", nullptr);
    const std::string hidName = "0003:" + vid + ":" + pid + "." + hex4(static_cast<uint16_t>(node->index + 1));
    const std::string hidId = "0003:0000" + vid + ":0000" + pid;
    gchar *hid = umockdev_testbed_add_device(m_testbed, "hid", hidName.c_str(), intf, nullptr, "HID_ID", hidId.c_str(),
                                             "HID_NAME", product.c_str(), "HID_UNIQ", "", nullptr);
    const std::span<const uint8_t> descriptor =
        node->numbered ? std::span<const uint8_t>(kNumbered) : std::span<const uint8_t>(kUnnumbered);
    umockdev_testbed_set_attribute_binary(m_testbed, hid, "report_descriptor", const_cast<guint8 *>(descriptor.data()),
                                          static_cast<gint>(descriptor.size()));
    // The node itself: "N:" makes umockdev create a pty-backed device node.
    node->devnode = "/dev/hidraw" + n;
    node->hidSyspath = hid;
    node->rawSyspath = node->hidSyspath + "/hidraw/hidraw" + n;
    const std::string record = "P: " + node->rawSyspath.substr(4) + "\nN: hidraw" + n + "\nE: DEVNAME=" + node->devnode
                               + "\nE: SUBSYSTEM=hidraw\nE: MAJOR=241\nE: MINOR=" + n + "\nA: dev=241:" + n + "\n";
    GError *error = nullptr;
    umockdev_testbed_add_from_string(m_testbed, record.c_str(), &error);
    g_clear_error(&error);
    // hidapi reads the hid device's uevent through this link when it filters by VID/PID.
    umockdev_testbed_set_attribute_link(m_testbed, node->rawSyspath.c_str(), "device", "../..");

    Node *raw = node.get();
    if (m_nodeDelayMs > 0) {
        // Listed, but not there yet: the node (a link to its pty) is put back when it appears.
        node->nodeFile = std::string(umockdev_testbed_get_root_dir(m_testbed)) + node->devnode;
        std::array<char, 256> target{};
        const ssize_t length = ::readlink(node->nodeFile.c_str(), target.data(), target.size() - 1);
        node->nodeTarget.assign(target.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
        ::unlink(node->nodeFile.c_str());
        QTimer::singleShot(m_nodeDelayMs, this, [this, raw] {
            if (!raw->gone)
                attachNode(*raw);
        });
    } else {
        attachNode(*raw);
    }
    umockdev_testbed_uevent(m_testbed, node->rawSyspath.c_str(), "add");
    g_free(usb);
    g_free(intf);
    g_free(hid);

    // The model's replies come to us as the host of the virtual bus.
    device->open();
    device->registerInputReportCallback(
        raw->inputBuffer.data(), raw->inputBuffer.size(),
        [this, raw](HidDevice *, std::span<const uint8_t> report) { queueForHost(*raw, report); }, this);
    m_nodes.push_back(std::move(node));
}

void UMockdevHidraw::attachNode(Node &node)
{
    node.handler = umockdev_ioctl_base_new();
    g_signal_connect(node.handler, "handle-ioctl", G_CALLBACK(onIoctl), &node);
    g_signal_connect(node.handler, "handle-write", G_CALLBACK(onWrite), &node);
    g_signal_connect(node.handler, "handle-read", G_CALLBACK(onRead), &node);
    if (!node.nodeFile.empty() && ::symlink(node.nodeTarget.c_str(), node.nodeFile.c_str()) != 0)
        qWarning("umockdev bridge: cannot put back %s", node.nodeFile.c_str());
    GError *error = nullptr;
    umockdev_testbed_attach_ioctl(m_testbed, node.devnode.c_str(), node.handler, &error);
    g_clear_error(&error);
    node.masterFd = umockdev_testbed_get_dev_fd(m_testbed, node.devnode.c_str());
}

void UMockdevHidraw::onUnplugged(HidDevice *device)
{
    for (auto &node : m_nodes) {
        if (!node->gone && node->deviceSide.data() == device)
            removeNode(*node);
    }
}

void UMockdevHidraw::removeNode(Node &node)
{
    if (node.gone)
        return;
    {
        std::lock_guard lock(node.mutex);
        node.gone = true;
    }
    // The remove event goes out first, as the kernel sends it before the node disappears.
    umockdev_testbed_uevent(m_testbed, node.rawSyspath.c_str(), "remove");
    GError *error = nullptr;
    umockdev_testbed_detach_ioctl(m_testbed, node.devnode.c_str(), &error);
    g_clear_error(&error);
    umockdev_testbed_remove_device(m_testbed, node.rawSyspath.c_str());
    umockdev_testbed_remove_device(m_testbed, node.hidSyspath.c_str());
}

void UMockdevHidraw::queueForHost(Node &node, std::span<const uint8_t> report)
{
    {
        std::lock_guard lock(node.mutex);
        if (node.gone)
            return;
        node.reports.emplace_back(report.begin(), report.end());
    }
    const char doorbell = 1;
    if (node.masterFd >= 0 && ::write(node.masterFd, &doorbell, 1) != 1)
        qWarning("umockdev bridge: doorbell write failed");
}

void UMockdevHidraw::failReads(uint16_t productId, int count, int error)
{
    m_readError = error;
    m_failReads = count;
    for (auto &node : m_nodes) {
        if (node->gone || node->identity.productId != productId)
            continue;
        const char doorbell = 1;
        if (node->masterFd >= 0 && ::write(node->masterFd, &doorbell, 1) != 1)
            qWarning("umockdev bridge: doorbell write failed");
    }
}

void UMockdevHidraw::deliverToDevice(int index, std::vector<uint8_t> report)
{
    Node &node = *m_nodes.at(static_cast<std::size_t>(index));
    if (node.deviceSide && !node.gone)
        node.deviceSide->setReport(report);
}

static gboolean onWrite(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer data)
{
    auto *node = static_cast<UMockdevHidraw::Node *>(data);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    const std::vector<uint8_t> written(arg->data, arg->data + arg->data_len);
    if (written.size() < 2) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return TRUE;
    }
    if (int error = 0; node->bridge->takeWriteFault(error)) {
        umockdev_ioctl_client_complete(client, -1, error);
        return TRUE;
    }
    node->bridge->recordWrite(node->identity.productId, written);
    // usbhid: the first byte is the report ID; for report ID 0 (no numbered reports) it is not sent.
    std::vector<uint8_t> onWire = node->numbered ? written : std::vector<uint8_t>(written.begin() + 1, written.end());
    UMockdevHidraw *bridge = node->bridge;
    const int index = node->index;
    QMetaObject::invokeMethod(
        bridge,
        [bridge, index, onWire = std::move(onWire)]() mutable { bridge->deliverToDevice(index, std::move(onWire)); },
        Qt::QueuedConnection);
    umockdev_ioctl_client_complete(client, arg->data_len, 0);
    return TRUE;
}

static gboolean onRead(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer data)
{
    auto *node = static_cast<UMockdevHidraw::Node *>(data);
    // Consume the doorbell byte of this report from the pty, then hand over the report itself.
    int error = 0;
    // A failing read leaves the doorbell in place: the next read is announced at once.
    if (node->bridge->takeReadFault(error)) {
        umockdev_ioctl_client_complete(client, -1, error);
        return TRUE;
    }
    GError *gerror = nullptr;
    umockdev_ioctl_client_execute(client, &error, &gerror);
    g_clear_error(&gerror);
    std::vector<uint8_t> report;
    {
        std::lock_guard lock(node->mutex);
        if (!node->reports.empty()) {
            report = std::move(node->reports.front());
            node->reports.pop_front();
        }
    }
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    const gint n = std::min<gint>(arg->data_len, static_cast<gint>(report.size()));
    if (n > 0)
        umockdev_ioctl_data_update(arg, 0, report.data(), n);
    umockdev_ioctl_client_complete(client, n, 0);
    return TRUE;
}

} // namespace flashwell::lab
