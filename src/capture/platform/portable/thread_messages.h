// Per-thread message queues for platforms that have none of their own, with
// the semantics the capture logic relies on:
// - a thread gets an id on its first call here; ids are never reused;
// - a thread has no queue until it first asks for a message; posting to it
//   fails with kInvalidThreadId until then, and with kThreadEnded once the
//   thread has ended (or for an id that never existed);
// - get_message returns 0 on the quit message and -1 on failure;
// - everything may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <thread>

#include "capture/platform/types.h"

namespace tarvix::capture::platform::portable {

// The calling thread's id, registering the thread on first use.
ThreadId current_thread_id();

// The id of a thread that registered itself and has not ended, else 0.
ThreadId thread_id_of(std::thread::native_handle_type thread);

// Blocks until the calling thread has a message; creates its queue first.
// Quit (posted by post_quit_message) is reported after the messages queued
// before it, like any other message, but returns 0.
int get_message(Message& message);

// Runs the message's work, if it carries any.
void dispatch_message(Message& message);

PlatformResult<void> post_thread_message(ThreadId thread, std::uint32_t id, std::uintptr_t wparam,
                                         std::intptr_t lparam);

void post_quit_message(int exit_code);

// Queues work for a thread's pump whether or not the thread has asked for
// messages yet (a dispatcher queue exists before its thread pumps). Returns
// false when the thread has ended or never existed; the work is then
// destroyed on the calling thread without running.
bool post_work(ThreadId thread, std::function<void()> work);

}  // namespace tarvix::capture::platform::portable
