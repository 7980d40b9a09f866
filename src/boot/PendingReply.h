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
    }
    void clear()
    {
        m_command.reset();
        m_handler = nullptr;
    }
    bool waiting() const { return m_command.has_value(); }
    std::optional<uint8_t> command() const { return m_command; }
    // The handler that is pending now, copied: running it may register its successor.
    Handler handler() const { return m_handler; }

private:
    std::optional<uint8_t> m_command;
    Handler m_handler;
};

} // namespace flashwell
