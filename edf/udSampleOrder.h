// Byte order of EDF samples: 16-bit two's complement, little-endian on disk.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace vantrel {

// Swaps samples between the disk's byte order and the machine's, in place (the same swap
// serves both ways); nothing to do on a little-endian machine.
inline void SwapSampleOrder(int16_t* samples, size_t count) {
    if constexpr (std::endian::native == std::endian::big) {
        for (size_t i = 0; i < count; ++i) {
            const auto u = static_cast<uint16_t>(samples[i]);
            samples[i] = static_cast<int16_t>(static_cast<uint16_t>((u >> 8) | (u << 8)));
        }
    } else {
        (void)samples;
        (void)count;
    }
}

}  // namespace vantrel
