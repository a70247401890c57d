// Names and ranges of the simulation's inputs.
#include "run_setup.h"

namespace seatbelt_sim {

const char* InputName(Input input) {
  switch (input) {
    case Input::kLatch:
      return "latch";
    case Input::kOccupancy:
      return "occupancy";
    case Input::kSpeed:
      return "speed";
    case Input::kDoor:
      return "door";
    case Input::kIgnition:
      return "ignition";
    case Input::kNote:
      break;
  }
  return "note";
}

// Ranges are those of the setter argument types: uint8 raw latch, 32-bit occupancy and ignition
// enumerations (any value passes through the components), uint16 speed, boolean door.
uint32 InputMax(Input input) {
  switch (input) {
    case Input::kLatch:
      return 255u;
    case Input::kOccupancy:
    case Input::kIgnition:
      return 4294967295u;
    case Input::kSpeed:
      return 65535u;
    case Input::kDoor:
      return 1u;
    case Input::kNote:
      break;
  }
  return 0u;
}

}  // namespace seatbelt_sim
