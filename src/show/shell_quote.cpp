#include "show/shell_quote.h"

#include "show/escape.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace mixmidi {

namespace {

// Characters no POSIX shell, bash or zsh gives a meaning in a plain word.
// '=' is among them, but not at the start, where zsh expands =cmd.
bool plain(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("_@%+=:,./-").find(c) != std::string_view::npos;
}

bool bare(std::string_view word)
{
    return !word.empty() && word.front() != '=' && std::all_of(word.begin(), word.end(), plain);
}

std::string single_quoted(std::string_view word)
{
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

// The $'...' form. '!' is written as \x21, so that bash's history expansion,
// which does not know this form's escapes, never sees one.
std::string dollar_quoted(std::string_view word)
{
    constexpr std::string_view hex = "0123456789ABCDEF";
    std::string quoted = "$'";
    for (std::size_t i = 0; i < word.size();) {
        const char c = word[i];
        const std::size_t length = printable_length(word.substr(i));
        if (c == '\'' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '!') {
            quoted += "\\x21";
        } else if (length > 0) {
            quoted.append(word.substr(i, length));
            i += length;
            continue;
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\t') {
            quoted += "\\t";
        } else {
            const auto byte = static_cast<std::uint8_t>(c);
            quoted += "\\x";
            quoted += hex[byte >> 4];
            quoted += hex[byte & 0x0F];
        }
        ++i;
    }
    return quoted + "'";
}

}  // namespace

std::string shell_quote(std::string_view word)
{
    if (bare(word)) {
        return std::string(word);
    }
    return all_printable(word) ? single_quoted(word) : dollar_quoted(word);
}

void put_command_line(TextOut& out, std::string_view file_name, std::span<const std::string> words)
{
    // As the first argument these would not name a file.
    constexpr std::array<std::string_view, 4> flags = {"-h", "--help", "--version", "--show"};
    const bool is_flag = std::find(flags.begin(), flags.end(), file_name) != flags.end();
    out.put("mixmidi ");
    out.put(shell_quote(is_flag ? "./" + std::string(file_name) : std::string(file_name)));
    for (const auto& word : words) {
        out.put(' ');
        out.put(shell_quote(word));
    }
    out.put('\n');
}

}  // namespace mixmidi
