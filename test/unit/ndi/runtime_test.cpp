// The process-wide library reference: one initialise for acquires that meet,
// a retry after a failed one, and no initialise while a destroy still runs.
#include "ndi/runtime.h"

#include <functional>
#include <optional>
#include <thread>

#include "standin_fixture.h"

namespace tarvix::ndi::testing {
namespace {

class RuntimeTest : public StandinTest {};
using Acquired = std::optional<Result<NdiRuntime, NdiError>>;
const Call kInit{TARVIX_CALL_INITIALIZE, 0};
const Call kDestroy{TARVIX_CALL_DESTROY, 0};

// Holds `first` inside the SDK call `call` until an acquire on another
// thread waits for it, then lets both finish; returns what that acquire got.
Acquired acquire_while_held_in(int32_t call, const std::function<void()>& first) {
  tarvix_standin_pause(call, 1);
  std::thread holder(first);
  EXPECT_EQ(tarvix_standin_wait_paused(call, 1), 1);
  Acquired second;
  std::thread waiter([&] { second.emplace(NdiRuntime::acquire()); });
  EXPECT_TRUE(tarvix::testing::eventually([] { return runtime_snapshot().waiting == 1; }));
  tarvix_standin_pause(call, 0);
  holder.join();
  waiter.join();
  return second;
}

// Each acquire that succeeds holds one reference; after a failed initialise
// the waiting acquire tries again.
TEST_F(RuntimeTest, AcquiresThatMeetInitialiseOnceOrRetryAFailure) {
  for (const uint32_t failures : {0u, 1u}) {
    tarvix_standin_reset();
    tarvix_standin_fail_next_initialize(failures);
    Acquired first;
    Acquired second = acquire_while_held_in(TARVIX_CALL_INITIALIZE,
                                            [&] { first.emplace(NdiRuntime::acquire()); });
    EXPECT_EQ(first->ok(), failures == 0);
    ASSERT_TRUE(second->ok());
    EXPECT_EQ(runtime_snapshot().references, 2 - failures);
    first.reset();
    EXPECT_EQ(standin_library().destroy_calls, 0u);
    second.reset();
    EXPECT_EQ(calls(), (failures ? std::vector<Call>{kInit, kInit, kDestroy}
                                 : std::vector<Call>{kInit, kDestroy}));
  }
}

// The stand-in counts an initialise that overlaps the destroy as misuse,
// which TearDown checks.
TEST_F(RuntimeTest, AnAcquireDuringTheLastReleaseWaitsForTheDestroy) {
  Acquired held(NdiRuntime::acquire());
  Acquired again = acquire_while_held_in(TARVIX_CALL_DESTROY, [&] { held.reset(); });
  ASSERT_TRUE(again->ok());
  EXPECT_TRUE(standin_library().initialized);
  EXPECT_EQ(calls(), (std::vector<Call>{kInit, kDestroy, kInit}));
}

}  // namespace
}  // namespace tarvix::ndi::testing
