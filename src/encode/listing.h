#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace mixmidi {

// What "--show" prints for a file's bytes: one line per chunk and per event,
// in file order, as offset, bytes in hex and meaning; then the command that
// rebuilds the file, or why there is none. A file that cannot be read to its
// end is listed up to its fault, then a message naming the file and the
// offset of the fault.
struct Listing {
    std::string text;
    bool read_to_end = false;
};

Listing list_file(std::span<const std::uint8_t> bytes, std::string_view file_name);

}  // namespace mixmidi
