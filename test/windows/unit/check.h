// A small test runner for the Windows checks: cases register themselves,
// main runs them all and ends with "N passed, N failed".
#pragma once

#include <functional>
#include <sstream>
#include <string>

namespace tarvix::check {

// Thrown by a failed expectation; ends the current case only.
struct Failure {
  std::string what;
};

void add_case(const char* name, std::function<void()> body);
// Cases may skip themselves when the environment cannot run them.
void skip(const std::string& reason);
// True under Wine, where the capture service and CoreMessaging are missing.
bool running_on_wine();

template <class A, class B>
void expect_eq(const A& actual, const B& expected, const char* text, const char* file, int line) {
  if (actual == expected) return;
  std::ostringstream out;
  out << file << ':' << line << ": " << text;
  if constexpr (requires(std::ostream & o) { o << actual << expected; }) {
    out << " (got " << actual << ", expected " << expected << ')';
  }
  throw Failure{out.str()};
}

inline void expect(bool condition, const char* text, const char* file, int line) {
  if (!condition) throw Failure{std::string(file) + ':' + std::to_string(line) + ": " + text};
}

struct Registrar {
  Registrar(const char* name, std::function<void()> body) { add_case(name, std::move(body)); }
};

}  // namespace tarvix::check

#define CHECK_CONCAT_(a, b) a##b
#define CHECK_CONCAT(a, b) CHECK_CONCAT_(a, b)
#define CHECK_CASE(name)                                                            \
  static void CHECK_CONCAT(check_case_, __LINE__)();                                \
  static const ::tarvix::check::Registrar CHECK_CONCAT(check_registrar_, __LINE__)( \
      name, &CHECK_CONCAT(check_case_, __LINE__));                                  \
  static void CHECK_CONCAT(check_case_, __LINE__)()
#define EXPECT(condition) ::tarvix::check::expect((condition), #condition, __FILE__, __LINE__)
#define EXPECT_EQ(actual, expected) \
  ::tarvix::check::expect_eq((actual), (expected), #actual " == " #expected, __FILE__, __LINE__)
