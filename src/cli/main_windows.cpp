// On Windows the arguments come as UTF-16 and go on as UTF-8, so that text
// and file names round-trip exactly whatever the ANSI code page is.
#include "cli/driver.h"
#include "platform/platform.h"

#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    const std::vector<std::string> arguments = mixmidi::platform::utf8_arguments(argc, argv);
    std::vector<const char*> pointers;
    for (const auto& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    pointers.push_back(nullptr);
    return mixmidi::main_entry(argc, pointers.data());
}
