#include "show/escape.h"

#include <cstdint>

namespace mixmidi {

namespace {

std::uint8_t byte_at(std::string_view text, std::size_t i) { return static_cast<std::uint8_t>(text[i]); }

bool in_range(std::string_view text, std::size_t i, std::uint8_t low, std::uint8_t high)
{
    return i < text.size() && byte_at(text, i) >= low && byte_at(text, i) <= high;
}

// The length of a valid UTF-8 sequence of two or more bytes at the start of
// text, or 0: no overlong forms, no surrogates, nothing past U+10FFFF.
std::size_t utf8_sequence(std::string_view text)
{
    const std::uint8_t lead = byte_at(text, 0);
    std::uint8_t second_low = 0x80;
    std::uint8_t second_high = 0xBF;
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        second_low = lead == 0xE0 ? 0xA0 : 0x80;
        second_high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        second_low = lead == 0xF0 ? 0x90 : 0x80;
        second_high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (!in_range(text, 1, second_low, second_high)) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!in_range(text, i, 0x80, 0xBF)) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::size_t printable_length(std::string_view text)
{
    const std::uint8_t lead = byte_at(text, 0);
    if (lead < 0x80) {
        return lead >= 0x20 && lead != 0x7F ? 1 : 0;
    }
    // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F.
    if (lead == 0xC2 && in_range(text, 1, 0x80, 0x9F)) {
        return 0;
    }
    return utf8_sequence(text);
}

bool all_printable(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = printable_length(text.substr(i));
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

void put_escaped(TextOut& out, std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"' || c == '\\') {
            out.put('\\');
            out.put(c);
            ++i;
            continue;
        }
        const std::size_t length = printable_length(text.substr(i));
        if (length > 0) {
            out.put(text.substr(i, length));
            i += length;
            continue;
        }
        if (c == '\n') {
            out.put("\\n");
        } else if (c == '\t') {
            out.put("\\t");
        } else if (c == '\r') {
            out.put("\\r");
        } else {
            out.put("\\x");
            out.put_hex(static_cast<std::uint8_t>(c));
        }
        ++i;
    }
}

void put_quoted(TextOut& out, std::string_view text)
{
    out.put('"');
    put_escaped(out, text);
    out.put('"');
}

}  // namespace mixmidi
