#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mixmidi {

// Reads the whole file into bytes; returns 0, or the errno of the failure.
int read_input(const std::string& path, std::vector<std::uint8_t>& bytes);

}  // namespace mixmidi
