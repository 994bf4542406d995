#pragma once

#include "platform/text_out.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace mixmidi {

// What "--show" prints for a file's bytes, written as the file is read: one
// line per chunk and per event, in file order, as offset, bytes in hex and
// meaning; then the command that rebuilds the file, or why there is none. A
// file that cannot be read to its end is listed up to its fault, then a
// message naming the file and the offset of the fault. Returns whether the
// file was read to its end. argument_budget bounds the rebuild command, as
// the bytes its words may take.
bool list_file(std::span<const std::uint8_t> bytes, std::string_view file_name, std::size_t argument_budget,
               TextOut& out);

// Lists each file in turn ("-" is the standard input); with more than one,
// each listing starts with "==> FILE <==" and a blank line separates them.
// A file that cannot be read does not stop the others. Returns whether
// every file was read to its end.
bool show_files(std::span<const std::string_view> files, TextOut& out);

}  // namespace mixmidi
