// Vehicle state interface. Each test runs in its own process, so the module starts standing,
// with the ignition off and the door closed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeRte.h"
#include "VehicleState_IF.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

void Ticks(int n) {
  for (int i = 0; i < n; ++i) {
    g_time_ms += 10u;
    VehicleState_IF_10ms();
  }
}

TEST(VehicleState, PublishesSpeedIgnitionAndDoorWithoutReadingCalibration) {
  Ticks(1);
  EXPECT_THAT(fake_rte::calls,
              ElementsAre("speed=0 status=0 t=10", "ign=0 status=0 t=10", "door=1 status=0 t=10"));
}

TEST(VehicleState, PublishesValuesExactlyAsSet) {
  VehicleState_IF_SetSpeed(65535u);
  VehicleState_IF_SetIgnition(7u);
  VehicleState_IF_SetDoorClosed(FALSE);
  Ticks(1);
  EXPECT_THAT(fake_rte::calls, ElementsAre("speed=65535 status=0 t=10", "ign=7 status=0 t=10",
                                           "door=0 status=0 t=10"));
}

TEST(VehicleState, StandingSpeedReportsFailedOn1000thTickAndPassedOn1010th) {
  Ticks(999);
  EXPECT_THAT(fake_rte::Calls("dem"), IsEmpty());
  fake_rte::calls.clear();
  Ticks(1);  // 10000 ms unchanged: reported before publishing
  EXPECT_THAT(fake_rte::calls, ElementsAre("dem 0x1004 failed t=10000", "speed=0 status=0 t=10000",
                                           "ign=0 status=0 t=10000", "door=1 status=0 t=10000"));
  Ticks(9);
  EXPECT_EQ(fake_rte::Calls("dem").size(), 1u);
  Ticks(1);     // 10100 ms
  Ticks(3000);  // no further report while the speed stays unchanged
  EXPECT_THAT(fake_rte::Calls("dem"),
              ElementsAre("dem 0x1004 failed t=10000", "dem 0x1004 passed t=10100"));
}

TEST(VehicleState, AnySpeedChangeRestartsTheStuckCount) {
  VehicleState_IF_SetSpeed(5u);  // differs from the initial 0: the count starts on tick 1
  Ticks(600);
  VehicleState_IF_SetSpeed(6u);  // change by 1 at 6010 ms
  Ticks(1200);
  EXPECT_THAT(fake_rte::Calls("dem"),
              ElementsAre("dem 0x1004 failed t=16010", "dem 0x1004 passed t=16110"));
}

}  // namespace
