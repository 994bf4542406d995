#pragma once

#include "platform/text_out.h"

#include <string_view>

namespace mixmidi {

// Prints the usage text, naming the program as it was invoked.
void print_usage(TextOut& out, std::string_view invocation_name);

// The usage text, then what it leaves out: -chan, the text options, "-" as
// the file, --show, --help, --version and the exit statuses.
void print_help(TextOut& out, std::string_view invocation_name);

}  // namespace mixmidi
