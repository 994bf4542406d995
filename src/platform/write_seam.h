#pragma once

#include <cstddef>

namespace mixmidi::platform {

// How much of a write of size bytes the test seam (fail_writes_after) lets
// through; 0 once it is spent. Each implementation's writes ask it first.
std::size_t allowed_by_seam(std::size_t size);

}  // namespace mixmidi::platform
