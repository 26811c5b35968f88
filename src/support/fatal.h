// Faults that script input cannot cause end the process with a message.
#pragma once

#include <string_view>

namespace tarvix {

[[noreturn]] void fatal(std::string_view message) noexcept;

}  // namespace tarvix
