#include "napi/binding_table.h"

#include <cstddef>
#include <cstdio>
#include <string>

namespace tarvix::napi {
namespace {

enum EntryIndex : std::size_t {
#define TARVIX_ENTRY_INDEX(name) name##_index,
  TARVIX_NODE_API_FUNCTIONS(TARVIX_ENTRY_INDEX)
#undef TARVIX_ENTRY_INDEX
};

constexpr const char* kEntryNames[] = {
#define TARVIX_ENTRY_NAME(name) #name,
    TARVIX_NODE_API_FUNCTIONS(TARVIX_ENTRY_NAME)
#undef TARVIX_ENTRY_NAME
};

void report_missing(const char* name) {
  // One write, so that the line stays whole next to other threads' output.
  const std::string line = std::string("Node-API symbol ") + name + " has not been loaded\n";
  std::fputs(line.c_str(), stderr);
}

template <std::size_t Index, class Function>
struct Fallback;

template <std::size_t Index, class... Args>
struct Fallback<Index, napi_status(NAPI_CDECL*)(Args...)> {
  static napi_status NAPI_CDECL call(Args...) {
    report_missing(kEntryNames[Index]);
    return napi_ok;
  }
};

BindingTable fallback_table() noexcept {
  BindingTable table{};
#define TARVIX_SET_FALLBACK(name) table.name = &Fallback<name##_index, decltype(table.name)>::call;
  TARVIX_NODE_API_FUNCTIONS(TARVIX_SET_FALLBACK)
#undef TARVIX_SET_FALLBACK
  return table;
}

BindingTable table = fallback_table();

}  // namespace

const BindingTable& api() noexcept {
  return table;
}

void bind_table(SymbolLookup lookup, void* context) {
  BindingTable bound = fallback_table();
#define TARVIX_BIND_ENTRY(name)                                 \
  if (HostFunction found = lookup(#name, context)) {            \
    bound.name = reinterpret_cast<decltype(bound.name)>(found); \
  }
  TARVIX_NODE_API_FUNCTIONS(TARVIX_BIND_ENTRY)
#undef TARVIX_BIND_ENTRY
  table = bound;
}

void reset_table() noexcept {
  table = fallback_table();
}

}  // namespace tarvix::napi
