#pragma once

#include <cstdint>
#include <vector>

namespace flashwell {

// Elements addressed by index that stay where they are while others come and go; a freed index is
// handed out again before the pool grows. Lets a queue sift small keys instead of whole entries.
template <class T> class SlotPool
{
public:
    uint32_t acquire()
    {
        if (m_free.empty()) {
            m_items.emplace_back();
            return static_cast<uint32_t>(m_items.size() - 1);
        }
        const uint32_t index = m_free.back();
        m_free.pop_back();
        return index;
    }
    void release(uint32_t index) { m_free.push_back(index); }
    T &operator[](uint32_t index) { return m_items[index]; }
    const T &operator[](uint32_t index) const { return m_items[index]; }

private:
    std::vector<T> m_items;
    std::vector<uint32_t> m_free;
};

} // namespace flashwell
