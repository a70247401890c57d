// Field-by-field comparison of two tick views (see compare_views.h).
#include "compare_views.h"

#include <algorithm>
#include <iterator>

namespace seatbelt_fuzz {

std::string CompareViews(const TickView& expected, const TickView& seen) {
  struct Field {
    const char* name;
    unsigned long expected;
    unsigned long seen;
  };
  const Field fields[] = {
      {"SeatbeltLatchFiltered", expected.latch.value, seen.latch.value},
      {"SeatbeltLatchFiltered status", expected.latch.status, seen.latch.status},
      {"OccupancyFiltered", expected.occupancy.value, seen.occupancy.value},
      {"OccupancyFiltered status", expected.occupancy.status, seen.occupancy.status},
      {"VehicleSpeed", expected.speed.value, seen.speed.value},
      {"VehicleSpeed status", expected.speed.status, seen.speed.status},
      {"IgnitionState", expected.ignition.value, seen.ignition.value},
      {"IgnitionState status", expected.ignition.status, seen.ignition.status},
      {"DoorClosed", expected.door.value, seen.door.value},
      {"DoorClosed status", expected.door.status, seen.door.status},
      {"warning request", expected.request, seen.request},
      {"warning request writes", expected.request_writes, seen.request_writes},
      {"diagnostic reports", expected.dem_count, seen.dem_count},
  };
  const Field* const differing = std::find_if(std::begin(fields), std::end(fields),
                                              [](const Field& f) { return f.expected != f.seen; });
  if (differing != std::end(fields)) {
    return Describe(differing->name, differing->expected, differing->seen);
  }
  for (std::size_t i = 0u; i < expected.dem_count && i < expected.dem.size(); ++i) {
    if (expected.dem[i].event_id != seen.dem[i].event_id) {
      return Describe("diagnostic report event", expected.dem[i].event_id, seen.dem[i].event_id);
    }
    if (expected.dem[i].status != seen.dem[i].status) {
      return Describe("diagnostic report status", expected.dem[i].status, seen.dem[i].status);
    }
  }
  return {};
}

}  // namespace seatbelt_fuzz
