// What a host observes after one tick: report list and complaint text.
#include "tick_view.h"

#include <cstdio>

namespace seatbelt_fuzz {

void AddReport(TickView& view, uint16 event_id, uint8 status) {
  if (view.dem_count < view.dem.size()) {
    view.dem[view.dem_count] = DemReport{event_id, status};
  }
  ++view.dem_count;
}

std::string Describe(const char* what, unsigned long expected, unsigned long seen) {
  char text[160];
  (void)std::snprintf(text, sizeof text, "%s: expected %lu, got %lu", what, expected, seen);
  return text;
}

}  // namespace seatbelt_fuzz
