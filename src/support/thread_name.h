// Names the calling thread so captures show up clearly in debuggers and /proc.
#pragma once

namespace tarvix {

// Names longer than the platform allows (15 bytes on Linux) are cut.
void set_current_thread_name(const char* name) noexcept;

}  // namespace tarvix
