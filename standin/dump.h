// Writes what a source carried where a person can look at it: per source a
// PNG of the last video frame and a JSON summary, in the directory named by
// TARVIX_NDI_STANDIN_DIR. Called without any of the stand-in's locks held.
#pragma once

#include <string>
#include <string_view>

#include "instance.h"

namespace tarvix::standin {

// A file name stem made from a source name: no path separators or other
// awkward characters, bounded length, never empty or hidden.
std::string safe_file_stem(std::string_view source_name);

// Writes if TARVIX_NDI_STANDIN_DIR is set and the instance is due (a few
// times a second at most; always when final).
void dump_if_due(Instance& instance, bool final);

}  // namespace tarvix::standin
