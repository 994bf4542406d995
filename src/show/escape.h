#pragma once

#include "platform/text_out.h"

#include <cstddef>
#include <string_view>

namespace mixmidi {

// Text from a file is printed only where it is safe: valid UTF-8 without
// control characters. These decide, byte sequence by byte sequence.

// The length of the character at the start of text when it is printable
// (ASCII 20 to 7E, or valid UTF-8 other than the C1 controls U+0080 to
// U+009F), or 0 when its first byte must be escaped: a control character
// (00 to 1F, 7F), a C1 control, or a byte that is not part of valid UTF-8.
std::size_t printable_length(std::string_view text);

// Whether every character of text is printable.
bool all_printable(std::string_view text);

// Writes text with every byte that is not printable as an escape: \n, \t, \r,
// or \xNN; quotes and backslashes as \" and \\.
void put_escaped(TextOut& out, std::string_view text);

// The same, between double quotes.
void put_quoted(TextOut& out, std::string_view text);

}  // namespace mixmidi
