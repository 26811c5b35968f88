// A small value-or-error type: every fallible operation in the module returns
// one, so no exception ever crosses a function boundary.
#pragma once

#include <type_traits>
#include <utility>
#include <variant>

#include "support/fatal.h"

namespace tarvix {

template <class E>
struct Err {
  E error;
};

template <class E>
Err(E) -> Err<E>;

template <class T, class E>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT
  template <class F, class = std::enable_if_t<std::is_constructible_v<E, F&&>>>
  Result(Err<F> err) : state_(std::in_place_index<1>, E(std::move(err.error))) {}  // NOLINT

  bool ok() const noexcept { return state_.index() == 0; }
  explicit operator bool() const noexcept { return ok(); }

  T& value() & { return checked<0>(); }
  const T& value() const& { return checked<0>(); }
  T&& value() && { return std::move(checked<0>()); }
  E& error() & { return checked<1>(); }
  const E& error() const& { return checked<1>(); }
  E&& error() && { return std::move(checked<1>()); }

  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }

 private:
  template <std::size_t I>
  auto& checked() const& {
    if (state_.index() != I) fatal("Result accessed on the wrong alternative");
    return const_cast<std::variant_alternative_t<I, std::variant<T, E>>&>(std::get<I>(state_));
  }
  std::variant<T, E> state_;
};

template <class E>
class [[nodiscard]] Result<void, E> {
 public:
  Result() = default;
  template <class F, class = std::enable_if_t<std::is_constructible_v<E, F&&>>>
  Result(Err<F> err) : error_(E(std::move(err.error))), failed_(true) {}  // NOLINT

  bool ok() const noexcept { return !failed_; }
  explicit operator bool() const noexcept { return ok(); }

  E& error() & { return checked(); }
  const E& error() const& { return checked(); }
  E&& error() && { return std::move(checked()); }

 private:
  E& checked() const& {
    if (!failed_) fatal("Result accessed on the wrong alternative");
    return const_cast<E&>(error_);
  }
  // E must be default-constructible for the success state; every error type
  // of the module is a small enum or record, so that costs nothing.
  E error_{};
  bool failed_ = false;
};

}  // namespace tarvix
