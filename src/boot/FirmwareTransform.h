#pragma once

#include <cstdint>
#include <span>

// The second-generation bootloader stores each 512-byte chunk of the main image through this
// keyed transform, and answers flash CRC requests over the transformed bytes; the host applies
// the same transform to the file's bytes to compare. The key material (table S, mask M,
// increment D) lives only in FirmwareTransform.cpp: the lab's bootloader uses this very function,
// so host and lab always agree.
namespace flashwell::firmware_transform {

inline constexpr std::size_t kChunkSize = 512;

// Transforms one chunk in place; `position` is the chunk's byte position in the image
// (chunk index x 512). The chunk must be 512 bytes (128 little-endian words).
void apply(std::span<uint8_t, kChunkSize> chunk, uint32_t position);

} // namespace flashwell::firmware_transform
