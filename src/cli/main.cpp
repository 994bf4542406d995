#include "cli/driver.h"

int main(int argc, char** argv) { return mixmidi::run_command_line(argc, argv); }
