// Comparison of what the components did in a tick with what the model expected.
#ifndef SEATBELT_FUZZ_COMPARE_VIEWS_H
#define SEATBELT_FUZZ_COMPARE_VIEWS_H

#include <string>

#include "tick_view.h"

namespace seatbelt_fuzz {

// The first field in which seen differs from expected, described; empty if none.
std::string CompareViews(const TickView& expected, const TickView& seen);

}  // namespace seatbelt_fuzz

#endif  // SEATBELT_FUZZ_COMPARE_VIEWS_H
