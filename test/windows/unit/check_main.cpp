#include <windows.h>

#include <cstdio>
#include <exception>
#include <vector>

#include "check.h"

namespace tarvix::check {
namespace {

struct Case {
  const char* name;
  std::function<void()> body;
};

struct Skipped {
  std::string reason;
};

std::vector<Case>& cases() {
  static std::vector<Case> all;
  return all;
}

}  // namespace

void add_case(const char* name, std::function<void()> body) {
  cases().push_back({name, std::move(body)});
}

void skip(const std::string& reason) {
  throw Skipped{reason};
}

bool running_on_wine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace tarvix::check

int main() {
  using namespace tarvix::check;
  int passed = 0, failed = 0, skipped = 0;
  for (const Case& c : cases()) {
    try {
      c.body();
      ++passed;
      std::printf("ok - %s\n", c.name);
    } catch (const Failure& failure) {
      ++failed;
      std::printf("not ok - %s\n  %s\n", c.name, failure.what.c_str());
    } catch (const Skipped& skipped_case) {
      ++skipped;
      std::printf("skip - %s: %s\n", c.name, skipped_case.reason.c_str());
    } catch (const std::exception& error) {
      ++failed;
      std::printf("not ok - %s\n  exception: %s\n", c.name, error.what());
    }
    std::fflush(stdout);
  }
  std::printf("backend: %d passed, %d failed, %d skipped\n", passed, failed, skipped);
  return failed == 0 ? 0 : 1;
}
