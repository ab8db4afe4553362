// How many thread frames the pool could not provide, for the runner to tell a launch whose
// threads all ran from one where some never started.
#pragma once

#include <cstdint>

namespace runtime_detail {

std::uint64_t threadFramesRefused();

}  // namespace runtime_detail
