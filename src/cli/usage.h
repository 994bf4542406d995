#pragma once

#include <cstdio>
#include <string_view>

namespace mixmidi {

// Prints the usage text, naming the program as it was invoked.
void print_usage(std::FILE* out, std::string_view invocation_name);

}  // namespace mixmidi
