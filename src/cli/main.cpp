#include "cli/driver.h"

int main(int argc, char** argv) { return mixmidi::main_entry(argc, argv); }
