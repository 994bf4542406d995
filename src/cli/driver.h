#pragma once

#include "encode/encoder.h"
#include "platform/text_out.h"

namespace mixmidi {

enum ExitStatus : int {
    exit_ok = 0,          // the file holds every option
    exit_usage = 1,       // too few arguments, or a bad channel
    exit_file_error = 2,  // the file could not be created or written
    exit_skipped = 3,     // the file was written, but some option was skipped
};

// The whole program but for the process around it: reads the command line,
// writes the file, prints messages to out (or, when the file is "-", to err)
// and returns the exit status.
int run_command_line(int argc, const char* const* argv, TextOut& out, TextOut& err);

// Flushes and closes standard output; if any of its text was lost, says so
// on err and returns exit_file_error, else status.
int finish_standard_output(TextOut& out, TextOut& err, int status);

// The process: prepares the standard streams and signals, runs the command
// line on them and returns the exit status.
int main_entry(int argc, const char* const* argv);

}  // namespace mixmidi
