#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mixmidi {

inline constexpr std::size_t max_input_size = std::size_t{256} << 20;

// Reads the whole file into bytes; returns 0, or the errno of the failure
// (EFBIG for more than max_input_size bytes).
int read_input(const std::string& path, std::vector<std::uint8_t>& bytes);

}  // namespace mixmidi
