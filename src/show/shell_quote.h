#pragma once

#include "platform/text_out.h"

#include <span>
#include <string>
#include <string_view>

namespace mixmidi {

// A word as bash, zsh and any POSIX shell read it back unchanged, on one
// line: bare when made only of characters no shell changes; in single
// quotes when every character is printable; otherwise in the $'...' form
// (\n, \t, \xNN, \' and \\), which POSIX.1-2024, bash, zsh and ksh read.
std::string shell_quote(std::string_view word);

// Writes "mixmidi FILE WORDS..." on one line, each word quoted, the file
// name kept from being read as one of the program's own flags.
void put_command_line(TextOut& out, std::string_view file_name, std::span<const std::string> words);

}  // namespace mixmidi
