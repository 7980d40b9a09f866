#pragma once

#include <QByteArray>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace flashwell {

// Views between Qt's char bytes and our unsigned wire bytes, written once instead of a cast at
// every call site. The views borrow: they live no longer than what they look at.

inline std::span<const uint8_t> bytesOf(const char *data, std::size_t size)
{
    // char and uint8_t may alias each other; this is the one place that relies on it.
    return {reinterpret_cast<const uint8_t *>(data), size};
}

inline std::span<const uint8_t> bytesOf(const QByteArray &bytes)
{
    return bytesOf(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

inline std::span<const uint8_t> bytesOf(std::string_view text)
{
    return bytesOf(text.data(), text.size());
}

template <std::size_t N> std::span<const uint8_t> bytesOf(const std::array<char, N> &bytes)
{
    return bytesOf(bytes.data(), N);
}

// A copy of wire bytes as a QByteArray.
inline QByteArray byteArrayOf(std::span<const uint8_t> bytes)
{
    return {reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

// Wire bytes as chars, for QIODevice::write and QByteArray::append.
inline const char *charsOf(std::span<const uint8_t> bytes)
{
    return reinterpret_cast<const char *>(bytes.data());
}

} // namespace flashwell
