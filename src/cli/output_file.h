#pragma once

#include <string>

namespace mixmidi {

// The output file while it is being written. A regular file (or a name that
// does not exist yet) is written to a temporary file beside it and renamed
// over it only once every byte is out, so a failed run leaves the path with
// its old contents or nothing. Devices and pipes are written in place.
struct OutputFile {
    std::string path;       // the name the user gave
    std::string temp_path;  // empty when writing in place
    int fd = -1;
};

// Opens the output for writing; false if it cannot be created.
bool open_output(const std::string& path, OutputFile& file);

// Closes the descriptor and puts the file in place; false if the close or the
// rename failed. In that case, and whenever write_ok is false, the partial
// file is removed instead.
bool commit_output(OutputFile& file, bool write_ok);

}  // namespace mixmidi
