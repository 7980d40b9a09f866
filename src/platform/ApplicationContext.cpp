#include "platform/ApplicationContext.h"

#include "platform/HidApiBackend.h"
#include "platform/QtScheduler.h"

#include <QtGlobal>

namespace flashwell {

namespace {
ApplicationContext *g_current = nullptr;
} // namespace

ApplicationContext::ApplicationContext()
    : m_previous(g_current)
{
    g_current = this;
}

ApplicationContext::~ApplicationContext()
{
    // Later objects first; one at a time, so a destructor may still reach an older object.
    while (!m_objects.empty()) {
        std::shared_ptr<void> last = std::move(m_objects.back().second);
        m_objects.pop_back();
        last.reset();
    }
    g_current = m_previous;
}

ApplicationContext &ApplicationContext::current()
{
    if (!g_current)
        qFatal("no ApplicationContext: main() creates one after the QApplication");
    return *g_current;
}

bool ApplicationContext::exists()
{
    return g_current != nullptr;
}

PlatformServices ApplicationContext::services()
{
    PlatformServices s = m_installed;
    if (!s.scheduler)
        s.scheduler = &shared<QtScheduler>([] { return std::make_unique<QtScheduler>(); });
    if (!s.hid)
        s.hid = &shared<HidApiBackend>([] { return std::make_unique<HidApiBackend>(); });
    return s;
}

void ApplicationContext::installServices(Scheduler &scheduler, HidBackend &hid)
{
    m_installed = {&scheduler, &hid};
}

void *ApplicationContext::find(std::type_index type) const
{
    for (const auto &[key, object] : m_objects)
        if (key == type)
            return object.get();
    return nullptr;
}

void ApplicationContext::keep(std::type_index type, std::shared_ptr<void> object)
{
    m_objects.emplace_back(type, std::move(object));
}

} // namespace flashwell
