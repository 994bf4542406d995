#pragma once

// A folder under /tmp for the files a fuzz target writes, removed when the
// fuzzer exits (a crash, which aborts, leaves it for the artifact's sake).
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fuzz {

inline std::string scratch_folder;

inline void remove_scratch_folder() { std::filesystem::remove_all(scratch_folder); }

inline void make_scratch_folder()
{
    char dir[] = "/tmp/mixmidi-fuzz-XXXXXX";
    if (::mkdtemp(dir) == nullptr) {
        std::abort();
    }
    scratch_folder = dir;
    std::atexit(remove_scratch_folder);
}

}  // namespace fuzz
