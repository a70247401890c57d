// The timing diagram over a simulated day, in process: what it keeps of short events and how
// large a busy day's picture gets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "svg_diagram.h"
#include "xml_reader.h"

namespace seatbelt_sim {
namespace {

using seatbelt_sim_test::ReadXml;
using seatbelt_sim_test::XmlDocument;
using seatbelt_sim_test::XmlElement;
using ::testing::MatchesRegex;

constexpr uint32 kDayMs = 86400000u;
constexpr uint32 kNoonMs = kDayMs / 2u;

SvgRunInfo Day() {
  SvgRunInfo info;
  info.scenario_name = "a day";
  info.calibration = {50u, 100u, 300u, 25u, 3000u};
  info.ticks = kDayMs / 10u;
  info.end_ms = kDayMs;
  return info;
}

// The d attribute of the lane's path drawn with css_class, or "".
std::string LanePath(const XmlDocument& svg, const std::string& lane,
                     const std::string& css_class) {
  for (const XmlElement* group : svg.root.All("g")) {
    if (group->Attribute("id") == "lane-" + lane) {
      for (const XmlElement* path : group->All("path")) {
        if (path->Attribute("class") == css_class) {
          return path->Attribute("d");
        }
      }
    }
  }
  return {};
}

TEST(SeatbeltSimSvg, ShortEventsOfADayKeepTheirPlace) {
  SvgTick tick;
  tick.latch_raw = 1u;
  SvgDiagram diagram(Day(), tick);
  const auto at = [&](uint32 time_ms, auto change) {
    SvgTick next = tick;
    next.time_ms = time_ms;
    change(next);
    diagram.AddTick(next);
  };
  // A day is 62 s per pixel. At noon the belt is open for one tick; at 18 h it opens and
  // is latched with 2 within a minute: two changes in a pixel.
  at(kNoonMs, [](SvgTick& t) { t.latch_raw = 0u; });
  at(kNoonMs + 10u, [](SvgTick& t) { t.latch_raw = 1u; });
  at(64800000u, [](SvgTick& t) { t.latch_raw = 0u; });
  at(64800100u, [](SvgTick& t) { t.latch_raw = 2u; });
  at(64800200u, [](SvgTick& t) { t.latch_raw = 1u; });
  diagram.AddWarning(kNoonMs, kNoonMs + 10u);

  const XmlDocument svg = ReadXml(diagram.Render());
  ASSERT_EQ(svg.error, "");
  // x = 190 + t / 86400000 * 1390: noon at 885, 18 h at 1232.5 (rounded up).
  EXPECT_THAT(LanePath(svg, "latch_raw", "f"), MatchesRegex("M885 [0-9]+h1"))
      << "the open belt at noon, a pixel wide";
  EXPECT_THAT(LanePath(svg, "latch_raw", "b"), MatchesRegex("M1233 [0-9]+h1"))
      << "the burst at 18 h";
  bool band_at_noon = false;
  for (const XmlElement* path : svg.root.All("path")) {
    band_at_noon = band_at_noon || (path->Attribute("class") == "band" &&
                                    path->Attribute("d").rfind("M885 118h1v", 0u) == 0u);
  }
  EXPECT_TRUE(band_at_noon) << "the 10 ms warning at noon is a band a pixel wide";
}

TEST(SeatbeltSimSvg, ABusyDayStaysSmall) {
  SvgTick tick;
  SvgDiagram diagram(Day(), tick);
  // Every signal changes at random about every 40 s, less than a pixel apart on average, so
  // that plain stretches and bursts alternate: the most a lane can hold.
  std::uint64_t random = 88172645463325252u;
  uint32* const fields[] = {&tick.latch_raw,       &tick.occupancy_raw, &tick.speed_raw,
                            &tick.door_raw,        &tick.ignition_raw,  &tick.latch.value,
                            &tick.occupancy.value, &tick.speed.value,   &tick.ignition.value,
                            &tick.door.value,      &tick.latch.status,  &tick.warning_request};
  constexpr std::uint64_t kTicksPerChange = 2000u;
  uint32 warning_start = 0u;
  bool warning = false;
  for (uint32 time_ms = 10u; time_ms <= kDayMs; time_ms += 10u) {
    random ^= random << 13u;
    random ^= random >> 7u;
    random ^= random << 17u;
    tick.time_ms = time_ms;
    const std::uint64_t pick = random % (kTicksPerChange * 2u);
    if (pick >= std::size(fields)) {
      diagram.AddTick(tick);  // nothing changed
      continue;
    }
    *fields[pick] = static_cast<uint32>((random >> 32u) % (pick == 2u || pick == 7u ? 90u : 3u));
    diagram.AddTick(tick);
    if (pick == 4u) {
      diagram.AddNote(time_ms, "the driver gets in and out of the car again and again");
      diagram.AddReport(time_ms, 0x1004u, "SPEED_STUCK", static_cast<uint8>(random & 1u));
    }
    if (tick.warning_request != 0u && !warning) {
      warning_start = time_ms;
    } else if (tick.warning_request == 0u && warning) {
      diagram.AddWarning(warning_start, time_ms);
    }
    warning = tick.warning_request != 0u;
  }
  const std::string text = diagram.Render();
  EXPECT_EQ(ReadXml(text).error, "");
  EXPECT_LT(text.size(), 300u * 1024u);
}

}  // namespace
}  // namespace seatbelt_sim
