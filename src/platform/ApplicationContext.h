#pragma once

#include "platform/PlatformServices.h"

#include <functional>
#include <memory>
#include <typeindex>
#include <utility>
#include <vector>

namespace flashwell {

// Owns the process-wide objects: the default scheduler, the hidapi backend, the network access
// and the shared sessions. `main()` creates one right after the QApplication and lets it die
// before it, so every QObject of the process is destroyed while Qt still runs, later ones first
// (a session goes before the backend whose devices it listens to). Objects come into being on
// first use; the context knows nothing of their layers.
class ApplicationContext final
{
public:
    ApplicationContext();
    ~ApplicationContext();
    ApplicationContext(const ApplicationContext &) = delete;
    ApplicationContext &operator=(const ApplicationContext &) = delete;

    // The context made last and still alive; a fatal error when there is none (a program without one has no
    // process-wide services).
    static ApplicationContext &current();
    static bool exists();

    // The Qt scheduler and the hidapi backend, unless others were installed.
    PlatformServices services();
    // The lab and the demo run the product on virtual devices: install these before the first use.
    void installServices(Scheduler &scheduler, HidBackend &hid);

    // The one object of type T, made by `make` on first use and destroyed with the context.
    template <typename T> T &shared(const std::function<std::unique_ptr<T>()> &make)
    {
        if (void *found = find(std::type_index(typeid(T))))
            return *static_cast<T *>(found);
        std::unique_ptr<T> made = make();
        T *object = made.get();
        keep(std::type_index(typeid(T)), std::shared_ptr<void>(std::move(made)));
        return *object;
    }

private:
    void *find(std::type_index type) const;
    void keep(std::type_index type, std::shared_ptr<void> object);

    std::vector<std::pair<std::type_index, std::shared_ptr<void>>> m_objects; // in creation order
    PlatformServices m_installed;
    ApplicationContext *m_previous; // current again once this one is gone (tests nest contexts)
};

} // namespace flashwell
