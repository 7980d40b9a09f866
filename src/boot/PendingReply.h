#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace flashwell {

// The one request a bootloader session waits on: the command it sent and what to do with the
// answer. Sending the next request replaces it; an answer to a finished session finds nothing.
class PendingReply
{
public:
    using Handler = std::function<void(std::span<const uint8_t> report)>;

    void expect(uint8_t command, Handler handler)
    {
        m_command = command;
        m_handler = std::move(handler);
        ++m_generation;
    }
    void clear()
    {
        m_command.reset();
        m_handler = nullptr;
        ++m_generation;
    }
    bool waiting() const { return m_command.has_value(); }
    std::optional<uint8_t> command() const { return m_command; }

    // Calls `run` with the handler that is pending now. Running it may register its successor or
    // clear the request; when it does neither, the handler stays pending, as before the call. The
    // handler is moved out for the call rather than copied: one allocation less for every reply.
    template <class Run> void dispatch(Run &&run)
    {
        Handler running = std::move(m_handler);
        m_handler = nullptr;
        const uint64_t generation = m_generation;
        run(running);
        if (m_generation == generation)
            m_handler = std::move(running);
    }

private:
    std::optional<uint8_t> m_command;
    Handler m_handler;
    uint64_t m_generation = 0;
};

} // namespace flashwell
