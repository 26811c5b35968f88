// What captures leave behind once they are stopped: shared-memory segments,
// threads, X connections.
#include <dirent.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "x11/capture_fixture.h"
#include "x11/test_window_process.h"

namespace tarvix::x11_test {
namespace {

// Segments this process created that still exist (attached or not).
int shared_memory_segments_of_this_process() {
  std::ifstream table("/proc/sysvipc/shm");
  std::string line;
  std::getline(table, line);  // header
  int count = 0;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    long key = 0, shmid = 0, perms = 0, size = 0, cpid = 0;
    fields >> key >> shmid >> perms >> size >> cpid;
    if (cpid == getpid()) ++count;
  }
  return count;
}

int entries_in(const char* directory) {
  DIR* dir = opendir(directory);
  if (!dir) return -1;
  int count = 0;
  while (readdir(dir))
    ++count;
  closedir(dir);
  return count;
}

int threads() {
  return entries_in("/proc/self/task");
}
int open_files() {
  return entries_in("/proc/self/fd");
}

// Processes outside this one (the X server) let go of things a little later.
template <class F>
bool eventually(F condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

class X11Resources : public CaptureTest {};

TEST_F(X11Resources, ManyStartsAndStopsLeaveNothingBehind) {
  TestWindowProcess window({"--size", "160x120"});
  ASSERT_TRUE(window.ready());
  auto capture_once = [&] {
    recorder_ = std::make_shared<Recorder>();
    return start(window.id()) && recorder_->wait_for_frames(1) && stop();
  };
  // One round first: libraries (and sanitizers) start threads of their own
  // on first use, and those stay.
  ASSERT_TRUE(capture_once());
  const int threads_before = threads();
  const int files_before = open_files();
  for (int round = 0; round < 25; ++round) {
    SCOPED_TRACE(round);
    ASSERT_TRUE(capture_once());
  }
  // Capture and watcher threads are joined by the stop; the X connection
  // (and with it every X resource it made) is closed with the capture.
  EXPECT_EQ(threads(), threads_before);
  EXPECT_EQ(open_files(), files_before);
  EXPECT_TRUE(eventually([] { return shared_memory_segments_of_this_process() == 0; }));
  // The window is still whole and capturable afterwards.
  recorder_ = std::make_shared<Recorder>();
  recorder_->set_matcher(pattern_of(false, 160, 120, 5));
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(window.command("redraw 5"));
  EXPECT_TRUE(recorder_->wait_for_match());
  // Read through shared memory, marked for removal once attached: gone as
  // soon as both sides detach.
  EXPECT_GE(shared_memory_segments_of_this_process(), 1);
  ASSERT_TRUE(stop());
  EXPECT_TRUE(eventually([] { return shared_memory_segments_of_this_process() == 0; }));
}

}  // namespace
}  // namespace tarvix::x11_test
