#include "platform/write_seam.h"

#include "platform/platform.h"

#include <algorithm>

namespace mixmidi::platform {

namespace {

std::uint64_t write_budget = never;

}  // namespace

void fail_writes_after(std::uint64_t bytes) { write_budget = bytes; }

std::size_t allowed_by_seam(std::size_t size)
{
    if (write_budget == never) {
        return size;
    }
    const auto granted = static_cast<std::size_t>(std::min<std::uint64_t>(size, write_budget));
    write_budget -= granted;
    return granted;
}

}  // namespace mixmidi::platform
