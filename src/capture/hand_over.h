// A single-use channel from the capture thread to its starter. The receiver
// learns that no value will come when the sending end is destroyed unsent.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace tarvix::capture {

template <class T>
class HandOver {
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<T> value;
    bool sender_open = true;
    bool receiver_open = true;
  };

 public:
  class Sender {
   public:
    explicit Sender(std::shared_ptr<State> state) : state_(std::move(state)) {}
    Sender(Sender&&) noexcept = default;
    Sender& operator=(Sender&&) = delete;
    ~Sender() { close(); }

    // False when the receiver is gone or a value was sent before.
    bool send(T value) {
      if (!state_) return false;
      std::lock_guard lock(state_->mutex);
      if (!state_->receiver_open || !state_->sender_open) return false;
      state_->value = std::move(value);
      state_->sender_open = false;
      state_->changed.notify_all();
      return true;
    }

   private:
    void close() {
      if (!state_) return;
      std::lock_guard lock(state_->mutex);
      state_->sender_open = false;
      state_->changed.notify_all();
    }
    std::shared_ptr<State> state_;
  };

  class Receiver {
   public:
    explicit Receiver(std::shared_ptr<State> state) : state_(std::move(state)) {}
    Receiver(Receiver&&) noexcept = default;
    Receiver& operator=(Receiver&&) = delete;
    ~Receiver() {
      if (!state_) return;
      std::lock_guard lock(state_->mutex);
      state_->receiver_open = false;
    }

    // Waits for the value; empty when the sender closed without one.
    std::optional<T> receive() {
      std::unique_lock lock(state_->mutex);
      state_->changed.wait(lock, [&] { return state_->value || !state_->sender_open; });
      return std::exchange(state_->value, std::nullopt);
    }

   private:
    std::shared_ptr<State> state_;
  };

  static std::pair<Sender, Receiver> make() {
    auto state = std::make_shared<State>();
    return {Sender(state), Receiver(state)};
  }
};

}  // namespace tarvix::capture
