// The timing diagram of seatbelt_sim drawn as SVG: lanes, markers, axis and header.
#include "svg_diagram.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <utility>

namespace seatbelt_sim {
namespace {

// --- Layout, in pixels ------------------------------------------------------------------------

constexpr int kWidth = 1600;
constexpr int kPlotX = SvgDiagram::kPlotX;
constexpr int kPlotW = SvgDiagram::kPlotW;
constexpr int kPlotEnd = kPlotX + kPlotW;
constexpr int kLaneH = 34;
constexpr int kInset = 4;  // between a lane's edges and its segments
constexpr int kBoxH = kLaneH - 2 * kInset;
constexpr int kRowH = 10;  // one condition of the conditions lane
constexpr int kRows = 5;
constexpr int kConditionsH = kRows * kRowH + 2 * kInset;
constexpr int kReportsH = 46;
constexpr int kFailuresH = 34;  // the strip of failed expectations, only when there are any
constexpr int kGroupH = 20;
constexpr int kLanesTop = 118;
// Character widths of the monospace fonts, in tenths of a pixel: 0.6 em.
constexpr int kCharW10 = 66;       // 11 px text
constexpr int kSmallCharW10 = 54;  // 9 px text
// Segments narrower than this get no tooltip, and markers closer than kMarkerPx share one: what
// keeps a busy day's picture small.
constexpr int kTipMinPx = 12;
constexpr int kMarkerPx = 6;
constexpr int kBandGapPx = 2;  // warning intervals closer than this are drawn as one band
constexpr std::size_t kListedNotes = 24;
// A shared marker's tooltip lists up to this many items, or else the first and a count.
constexpr std::size_t kTipLines = 2;
constexpr std::size_t kNoteChars = 110;
constexpr std::size_t kNameChars = 120;

// --- Lanes --------------------------------------------------------------------------------------

enum class Kind { kLatch, kOccupancy, kSpeed, kDoor, kIgnition, kWarning, kConditions };

struct LaneDef {
  const char* name;
  Kind kind;
};

constexpr std::array<LaneDef, SvgDiagram::kLaneCount> kLanes = {{
    {"latch_raw", Kind::kLatch},
    {"occupancy_raw", Kind::kOccupancy},
    {"speed_raw", Kind::kSpeed},
    {"door_raw", Kind::kDoor},
    {"ignition_raw", Kind::kIgnition},
    {"latch_filtered", Kind::kLatch},
    {"occupancy_filtered", Kind::kOccupancy},
    {"vehicle_speed", Kind::kSpeed},
    {"ignition_state", Kind::kIgnition},
    {"door_closed", Kind::kDoor},
    {"warning_request", Kind::kWarning},
    {"conditions", Kind::kConditions},
}};

// The rows of the conditions lane: the four the published signals show, then the door grace.
constexpr std::array<uint32, 4> kConditionBits = {
    {SvgDiagram::kConditionIgnition, SvgDiagram::kConditionSpeed, SvgDiagram::kConditionSeat,
     SvgDiagram::kConditionBelt}};
constexpr uint32 kAllFour = SvgDiagram::kConditionIgnition | SvgDiagram::kConditionSpeed |
                            SvgDiagram::kConditionSeat | SvgDiagram::kConditionBelt;

// How a segment is filled; the CSS class names are in kStyle.
enum Paint : std::size_t {
  kPassive,   // a state that does not favour the warning
  kFavour,    // a condition of the warning holds (belt open, seat occupied, ignition on, ...)
  kDoorOpen,  // door open, or the door grace running
  kOther,     // a value outside the usual two
  kWarn,      // warning requested
  kInvalid,   // status not valid
  kBurst,     // several changes within a pixel
  kPaintCount
};
constexpr std::array<const char*, kPaintCount> kPaintClass = {{"p", "f", "d", "o", "w", "n", "b"}};

constexpr const char* kStyle =
    "text{font-family:monospace;font-size:11px;fill:#222}"
    ".h1{font-size:16px;font-weight:bold}.nm{font-size:12px}.sm{font-size:9px;fill:#555}"
    ".gh{fill:#666;font-style:italic;paint-order:stroke;stroke:#fff;stroke-width:4px}.wt{fill:#fff}"
    ".bl{fill:#a01c1c}"
    ".p,.f,.d,.o,.w,.n,.b,.fa,.ln,.thr,.be,.grid,.guide,.ax{fill:none}"
    ".p{stroke:#dde3ea}.f{stroke:#f5b041}.d{stroke:#8fc1e3}.o{stroke:#c9b3e0}"
    ".w{stroke:#d62728}.n{stroke:url(#hatch)}.b{stroke:#444}.fa{stroke:#f5b041;stroke-opacity:.4}"
    ".bg{fill:#f3f5f7}.t{fill:transparent}.bf{fill:#444}"
    ".ln{stroke:#1f5fa8;stroke-width:1.5}.thr{stroke:#d62728;stroke-dasharray:5 3}"
    ".band{fill:#d62728;fill-opacity:.12;pointer-events:none}"
    ".be{stroke:#d62728;stroke-opacity:.5;pointer-events:none}"
    ".grid{stroke:#e4e4e4}.guide{stroke:#999;stroke-dasharray:2 3}.ax{stroke:#333}"
    ".mf{fill:#d62728}.mp{fill:#2ca02c}.mo{fill:#777}";
// Added only to a picture that shows failed expectations.
constexpr const char* kFailureStyle =
    ".fx{fill:none;stroke:#b00;stroke-width:2.5}.fg{fill:none;stroke:#b00;stroke-dasharray:4 3}"
    ".ft{fill:#b00}";

constexpr const char* kHatch =
    "<defs><pattern id=\"hatch\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
    "patternTransform=\"rotate(45)\"><rect width=\"6\" height=\"6\" fill=\"#eceff2\"/>"
    "<path d=\"M0 0V6\" stroke=\"#9aa3ad\" stroke-width=\"2.5\"/></pattern></defs>\n";

// --- Text ---------------------------------------------------------------------------------------

void AppendInt(std::string& out, long long value) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string Int(long long value) {
  std::string out;
  AppendInt(out, value);
  return out;
}

std::string Count(uint64_t count) {
  return Int(static_cast<long long>(count));
}

std::string Hex(uint32 value, int digits) {
  char text[16];
  char* const end = std::to_chars(text, text + sizeof text, value, 16).ptr;
  std::string out(text, end);
  std::transform(out.begin(), out.end(), out.begin(), [](char c) {
    return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c;
  });
  return "0x" +
         std::string(static_cast<std::size_t>(std::max(0, digits - static_cast<int>(out.size()))),
                     '0') +
         out;
}

// Length of the UTF-8 sequence at text[at] when it encodes a character that XML allows and that
// prints (no control character), else 0.
std::size_t PrintableLength(std::string_view text, std::size_t at) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned lead = byte(at);
  if (lead < 0x80u) {
    return lead >= 0x20u && lead != 0x7Fu ? 1u : 0u;
  }
  std::size_t length = 0u;
  uint32 code = 0u;
  if ((lead & 0xE0u) == 0xC0u) {
    length = 2u;
    code = lead & 0x1Fu;
  } else if ((lead & 0xF0u) == 0xE0u) {
    length = 3u;
    code = lead & 0x0Fu;
  } else if ((lead & 0xF8u) == 0xF0u) {
    length = 4u;
    code = lead & 0x07u;
  } else {
    return 0u;
  }
  if (at + length > text.size()) {
    return 0u;
  }
  for (std::size_t i = 1u; i < length; ++i) {
    if ((byte(at + i) & 0xC0u) != 0x80u) {
      return 0u;
    }
    code = (code << 6u) | (byte(at + i) & 0x3Fu);
  }
  constexpr std::array<uint32, 5> kShortest = {{0u, 0u, 0x80u, 0x800u, 0x10000u}};
  const bool overlong = code < kShortest[length];
  const bool c1_control = code >= 0x80u && code <= 0x9Fu;
  const bool surrogate = code >= 0xD800u && code <= 0xDFFFu;
  const bool not_a_char = code == 0xFFFEu || code == 0xFFFFu || code > 0x10FFFFu;
  return overlong || c1_control || surrogate || not_a_char ? 0u : length;
}

// Text from the outside (a file name, a note) as XML character data: markup characters as
// references, bytes that are not printable UTF-8 as \xNN, so that any input gives a well-formed
// picture. Cut with "..." after max_chars characters.
struct XmlText {
  std::string xml;
  std::size_t chars = 0u;  // as shown, for its width
};

XmlText ToXml(std::string_view text, std::size_t max_chars) {
  // Shown width of every byte sequence: 1 a character, 4 an escaped byte.
  const auto step = [text](std::size_t at) {
    const std::size_t length = PrintableLength(text, at);
    return std::pair<std::size_t, std::size_t>(std::max<std::size_t>(length, 1u),
                                               length == 0u ? 4u : 1u);
  };
  std::size_t total = 0u;
  for (std::size_t at = 0u; at < text.size(); at += step(at).first) {
    total += step(at).second;
  }
  const std::size_t keep = total <= max_chars ? total : max_chars - 1u;
  XmlText out;
  for (std::size_t at = 0u; at < text.size();) {
    const auto [length, chars] = step(at);
    if (out.chars + chars > keep) {
      break;
    }
    out.chars += chars;
    if (chars == 4u) {
      out.xml += "\\x" + Hex(static_cast<unsigned char>(text[at]), 2).substr(2u);
    } else if (text[at] == '&') {
      out.xml += "&amp;";
    } else if (text[at] == '<') {
      out.xml += "&lt;";
    } else if (text[at] == '>') {
      out.xml += "&gt;";
    } else if (text[at] == '"') {
      out.xml += "&quot;";
    } else {
      out.xml.append(text.substr(at, length));
    }
    at += length;
  }
  if (keep < total) {
    out.xml += "\xE2\x80\xA6";  // ...
    ++out.chars;
  }
  return out;
}

// Our own texts are plain ASCII (and a few fixed UTF-8 signs), with no markup characters.
int TextWidth(std::size_t chars, int char_w10) {
  return static_cast<int>((chars * static_cast<std::size_t>(char_w10) + 9u) / 10u);
}

std::string Range(uint32 start_ms, uint32 end_ms) {
  return Int(start_ms) + " to " + Int(end_ms) + " ms";
}

std::string ValueLabel(Kind kind, const SvgDiagram::State& state) {
  if (state.status != 0u) {
    return "not valid (status " + Hex(state.status, 2) + ")";
  }
  const uint32 v = state.value;
  switch (kind) {
    case Kind::kLatch:
      return v == 0u ? "unlatched" : v == 1u ? "latched" : "latched (" + Int(v) + ")";
    case Kind::kOccupancy:
      return v == OCC_EMPTY ? "empty" : v == OCC_OCCUPIED ? "occupied" : Int(v);
    case Kind::kDoor:
      return v == 0u ? "open" : v == 1u ? "closed" : Int(v);
    case Kind::kIgnition:
      return v == IGN_OFF ? "off" : v == IGN_ON ? "on" : Int(v);
    case Kind::kWarning:
      return v == SBW_WARN_NONE ? "NONE" : v == SBW_WARN_ACTIVE ? "ACTIVE" : Int(v);
    case Kind::kSpeed:
    case Kind::kConditions:
      break;
  }
  return Int(v);
}

Paint PaintOf(Kind kind, const SvgDiagram::State& state) {
  if (state.status != 0u) {
    return kInvalid;
  }
  const uint32 v = state.value;
  switch (kind) {
    case Kind::kLatch:
      return v == 0u ? kFavour : kPassive;
    case Kind::kOccupancy:
      return v == OCC_OCCUPIED ? kFavour : v == OCC_EMPTY ? kPassive : kOther;
    case Kind::kDoor:
      return v == 0u ? kDoorOpen : v == 1u ? kPassive : kOther;
    case Kind::kIgnition:
      return v == IGN_ON ? kFavour : v == IGN_OFF ? kPassive : kOther;
    case Kind::kWarning:
      return v == SBW_WARN_ACTIVE ? kWarn : v == SBW_WARN_NONE ? kPassive : kOther;
    case Kind::kSpeed:
    case Kind::kConditions:
      break;
  }
  return kPassive;
}

// Smallest of 1, 2, 3, 4, 5, 6, 8 times a power of ten at or above value: the top of a speed lane.
uint64_t NiceCeil(uint64_t value) {
  constexpr std::array<uint64_t, 7> kMantissas = {{1u, 2u, 3u, 4u, 5u, 6u, 8u}};
  for (uint64_t power = 1u;; power *= 10u) {
    const auto* const fit = std::find_if(kMantissas.begin(), kMantissas.end(),
                                         [&](uint64_t m) { return m * power >= value; });
    if (fit != kMantissas.end()) {
      return *fit * power;
    }
  }
}

// Time-axis steps: whole ms, s, min, h and days.
constexpr std::array<uint32, 31> kSteps = {{
    1u,        2u,        5u,        10u,        20u,        50u,        100u,        200u,
    500u,      1000u,     2000u,     5000u,      10000u,     15000u,     30000u,      60000u,
    120000u,   300000u,   600000u,   900000u,    1800000u,   3600000u,   7200000u,    10800000u,
    21600000u, 43200000u, 86400000u, 172800000u, 432000000u, 864000000u, 1728000000u,
}};
constexpr int kMaxAxisTicks = 14;

std::string AxisLabel(uint64_t time_ms, uint32 step_ms) {
  struct Unit {
    uint32 below_ms;
    uint32 ms;
    const char* name;
  };
  constexpr std::array<Unit, 5> kUnits = {{{1000u, 1u, " ms"},
                                           {60000u, 1000u, " s"},
                                           {3600000u, 60000u, " min"},
                                           {86400000u, 3600000u, " h"},
                                           {UINT32_MAX, 86400000u, " d"}}};
  const Unit* unit = kUnits.data();
  while (step_ms >= unit->below_ms) {
    ++unit;
  }
  return Count(time_ms / unit->ms) + unit->name;
}

// --- Paths --------------------------------------------------------------------------------------

// Horizontal bars on one line, drawn as one stroked path: "M x y h w m dx 0 h w ...". With
// merge, a bar that starts where the last one ended lengthens it.
class Bars {
 public:
  Bars(int y, bool merge) : y_(y), merge_(merge) {}
  void Add(int x0, int x1) {
    if (x1 <= x0) {
      return;
    }
    if (merge_ && pending_ && x0 <= pending_x1_) {
      pending_x1_ = std::max(pending_x1_, x1);
      return;
    }
    Flush();
    pending_ = true;
    pending_x0_ = x0;
    pending_x1_ = x1;
  }
  // The path element, or nothing when there is no bar.
  std::string Element(const char* css_class, int thickness) {
    Flush();
    if (d_.empty()) {
      return {};
    }
    return std::string("<path class=\"") + css_class + "\" stroke-width=\"" + Int(thickness) +
           "\" d=\"" + d_ + "\"/>\n";
  }

 private:
  void Flush() {
    if (!pending_) {
      return;
    }
    if (d_.empty()) {
      d_ += 'M';
      AppendInt(d_, pending_x0_);
      d_ += ' ';
      AppendInt(d_, y_);
    } else {
      d_ += 'm';
      AppendInt(d_, pending_x0_ - x_);
      d_ += " 0";
    }
    d_ += 'h';
    AppendInt(d_, pending_x1_ - pending_x0_);
    x_ = pending_x1_;
    pending_ = false;
  }

  int y_;
  bool merge_;
  std::string d_;
  int x_ = 0;
  bool pending_ = false;
  int pending_x0_ = 0;
  int pending_x1_ = 0;
};

// A burst of one change is a single state shorter than a pixel: drawn as that state, a pixel
// wide, so that a short glitch keeps its colour. Only two or more changes make a dark block.
bool IsDark(const SvgDiagram::Segment& segment) {
  return segment.burst && segment.changes > 1u;
}

}  // namespace

class SvgDiagram::Renderer {
 public:
  explicit Renderer(const SvgDiagram& diagram) : d_(diagram) {
    for (std::size_t lane = 0u; lane < kLaneCount; ++lane) {
      segments_[lane] = d_.lanes_[lane].Finish(d_.span_ms_);
    }
  }

  std::string Run() {
    Layout();
    s_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Int(kWidth) + "\" height=\"" +
          Int(height_) + "\" viewBox=\"0 0 " + Int(kWidth) + " " + Int(height_) + "\">\n";
    s_ += "<title>seatbelt_sim: " + ToXml(d_.info_.scenario_name, kNameChars).xml + "</title>\n";
    s_ += std::string("<style>") + kStyle + (d_.failures_.empty() ? "" : kFailureStyle) +
          "</style>\n" + kHatch;
    s_ += "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
    Header();
    Grid();
    for (std::size_t lane = 0u; lane < kLaneCount; ++lane) {
      s_ += "<g class=\"lane\" id=\"lane-" + std::string(kLanes[lane].name) + "\">\n";
      s_ += "<rect class=\"bg\" x=\"" + Int(kPlotX) + "\" y=\"" + Int(lane_top_[lane]) +
            "\" width=\"" + Int(kPlotW) + "\" height=\"" + Int(LaneHeight(lane)) + "\"/>\n";
      switch (kLanes[lane].kind) {
        case Kind::kSpeed:
          SpeedLane(lane);
          break;
        case Kind::kConditions:
          ConditionsLane(lane);
          break;
        default:
          StateLane(lane);
          break;
      }
      s_ += "</g>\n";
    }
    Reports();
    Failures();
    Notes();
    Headings();
    Warnings();
    s_ += "</svg>\n";
    return std::move(s_);
  }

 private:
  static int LaneHeight(std::size_t lane) {
    return kLanes[lane].kind == Kind::kConditions ? kConditionsH : kLaneH;
  }

  void Layout() {
    int y = kLanesTop;
    for (std::size_t lane = 0u; lane < kLaneCount; ++lane) {
      if (lane == kLatchRawLane || lane == kLatchLane || lane == kWarningLane) {
        group_top_.push_back(y);
        y += kGroupH;
      }
      lane_top_[lane] = y;
      y += LaneHeight(lane);
    }
    reports_top_ = y;
    failures_top_ = y + kReportsH;
    lanes_bottom_ = failures_top_ + (d_.failures_.empty() ? 0 : kFailuresH);
    axis_y_ = lanes_bottom_ + 4;
    notes_top_ = axis_y_ + 66;
    const std::size_t listed = std::min(d_.notes_.size(), kListedNotes);
    const std::size_t rows = (listed + 1u) / 2u + (d_.notes_.size() > kListedNotes ? 1u : 0u);
    height_ = notes_top_ + static_cast<int>(rows) * 15 + 8;
    // The failed expectations' list, when there is one, below the notes.
    failures_list_top_ = height_ + 8;
    const std::size_t failures = std::min(d_.failures_.size(), kListedNotes);
    if (failures > 0u) {
      const std::size_t failure_rows =
          1u + failures + (d_.failures_.size() > kListedNotes ? 1u : 0u);
      height_ = failures_list_top_ + static_cast<int>(failure_rows) * 15;
    }
  }

  void Text(int x, int y, const char* css_class, const std::string& xml,
            const char* anchor = nullptr, const std::string& title = {}) {
    s_ += "<text x=\"" + Int(x) + "\" y=\"" + Int(y) + "\"";
    if (css_class != nullptr) {
      s_ += std::string(" class=\"") + css_class + "\"";
    }
    if (anchor != nullptr) {
      s_ += std::string(" text-anchor=\"") + anchor + "\"";
    }
    s_ += ">";
    if (!title.empty()) {
      s_ += "<title>" + title + "</title>";
    }
    s_ += xml + "</text>\n";
  }

  // An invisible box that shows title when the pointer rests on it.
  void Tip(int x0, int y, int x1, int height, const std::string& title) {
    s_ += "<rect class=\"t\" x=\"" + Int(x0) + "\" y=\"" + Int(y) + "\" width=\"" + Int(x1 - x0) +
          "\" height=\"" + Int(height) + "\"><title>" + title + "</title></rect>\n";
  }

  void Header() {
    const SvgRunInfo& info = d_.info_;
    Text(12, 26, "h1", "seatbelt_sim: " + ToXml(info.scenario_name, kNameChars).xml);
    uint64_t warned_ms = 0u;
    for (const Warning& w : d_.warnings_) {
      const uint32 end_ms = w.end_ms.value_or(info.end_ms);
      warned_ms += end_ms > w.start_ms ? end_ms - w.start_ms : 0u;
    }
    const std::string dot = " \xC2\xB7 ";
    const std::string facts =
        Int(info.ticks) + " ticks of " + Int(info.tick_ms) + " ms, the last at " +
        Int(info.end_ms) + " ms" + dot + "warning intervals: " + Count(d_.warnings_.size()) + ", " +
        Count(warned_ms) + " ms in all" + dot + "diagnostic reports: " + Count(d_.reports_.size()) +
        dot + "notes: " + Count(d_.notes_.size()) +
        (d_.failures_.empty() ? std::string()
                              : dot + "failed expectations: " + Count(d_.failures_.size()));
    Text(12, 46, nullptr, facts);
    const SeatbeltCalibration_t& cal = info.calibration;
    Text(12, 64, nullptr,
         "calibration: latch_debounce_ms " + Int(cal.latch_debounce_ms) + ", unlatch_debounce_ms " +
             Int(cal.unlatch_debounce_ms) + ", occ_debounce_ms " + Int(cal.occ_debounce_ms) +
             ", speed_threshold " + Int(cal.speed_threshold) + ", door_grace_ms " +
             Int(cal.door_grace_ms));
    // Legend: a swatch and its meaning each.
    struct Key {
      const char* swatch;  // paint class of a bar, or null for the threshold line
      const char* meaning;
    };
    constexpr std::array<Key, 7> kKeys = {{
        {"f", "a condition of the warning holds"},
        {"d", "door open / door grace running"},
        {"w", "warning requested"},
        {"o", "other value"},
        {"n", "status not valid"},
        {"b", "changes within one pixel"},
        {nullptr, "speed threshold"},
    }};
    int x = 12;
    const int y = 84;
    for (const Key& key : kKeys) {
      if (key.swatch != nullptr) {
        s_ += std::string("<path class=\"") + key.swatch + "\" stroke-width=\"10\" d=\"M" + Int(x) +
              " " + Int(y - 4) + "h16\"/>\n";
      } else {
        s_ += "<path class=\"thr\" d=\"M" + Int(x) + " " + Int(y - 4) + "h16\"/>\n";
      }
      Text(x + 21, y, nullptr, key.meaning);
      x += 21 + TextWidth(std::string_view(key.meaning).size(), kCharW10) + 18;
    }
  }

  // The headings of the lane groups, drawn over the grid and guide lines with a white halo.
  void Headings() {
    const char* const groups[] = {"raw inputs, as the scenario set them for the tick",
                                  "published signals, as the warning logic reads them",
                                  "warning request, and the conditions it needs"};
    for (std::size_t g = 0u; g < group_top_.size(); ++g) {
      Text(12, group_top_[g] + 14, "gh", groups[g]);
    }
  }

  // The time axis with its ticks and labels, and a faint grid line up through the lanes at
  // every tick.
  void Grid() {
    const uint32 span = d_.span_ms_;
    const auto* const fit = std::find_if(kSteps.begin(), kSteps.end(), [span](uint32 step) {
      return span / step <= static_cast<uint32>(kMaxAxisTicks);
    });
    const uint32 step = fit != kSteps.end() ? *fit : kSteps.back();
    std::string grid;
    std::string ticks;
    for (uint64_t t = 0u; t <= span; t += step) {
      const int x = d_.X(static_cast<uint32>(t));
      grid += "M" + Int(x) + " " + Int(kLanesTop) + "V" + Int(axis_y_);
      ticks += "M" + Int(x) + " " + Int(axis_y_) + "v5";
      Text(x, axis_y_ + 16, nullptr, AxisLabel(t, step), "middle");
    }
    s_ += "<path class=\"grid\" d=\"" + grid + "\"/>\n";
    s_ += "<path class=\"ax\" d=\"M" + Int(kPlotX) + " " + Int(axis_y_) + "H" + Int(kPlotEnd) +
          ticks + "\"/>\n";
  }

  std::array<std::string, kRows> ConditionNames() const {
    return {{"ignition on", "speed \xE2\x89\xA5 " + Int(d_.info_.calibration.speed_threshold),
             "seat occupied", "belt open", "door grace over"}};
  }

  std::string SegmentTitle(std::size_t lane, const Segment& segment) const {
    std::string title = std::string(kLanes[lane].name) + ": ";
    const uint32 bits = segment.state.value;
    if (IsDark(segment)) {
      return title + Int(segment.changes) + " changes from " +
             Range(segment.start_ms, segment.end_ms);
    }
    if (kLanes[lane].kind != Kind::kConditions) {
      title += ValueLabel(kLanes[lane].kind, segment.state);
      if (segment.state.status == 0u && kLanes[lane].kind != Kind::kSpeed) {
        title += " (" + Int(bits) + ")";
      }
    } else if ((bits & kConditionWarning) != 0u) {
      title += "warning requested";
    } else if ((bits & kAllFour) == kAllFour) {
      title += "waiting for the door grace";
    } else {
      title += "not met:";
      for (std::size_t row = 0u; row < kConditionBits.size(); ++row) {
        if ((bits & kConditionBits[row]) == 0u) {
          title += (title.back() == ':' ? " " : ", ") + ConditionNames()[row];
        }
      }
    }
    return title + ", " + Range(segment.start_ms, segment.end_ms);
  }

  // A tooltip over every segment wide enough to point at, and label(segment, x0, x1) for the
  // plain ones among them to draw what fits inside.
  template <typename Label>
  void TipsAndLabels(std::size_t lane, int top, int height, Label label) {
    for (const Segment& segment : segments_[lane]) {
      const int x0 = d_.X(segment.start_ms);
      const int x1 = d_.X(segment.end_ms);
      if (x1 - x0 >= kTipMinPx) {
        Tip(x0, top, x1, height, SegmentTitle(lane, segment));
        if (!IsDark(segment)) {
          label(segment, x0, x1);
        }
      }
    }
  }

  // A lane of named states: a bar per segment, coloured by what the state means, with its name
  // and start time where they fit.
  void StateLane(std::size_t lane) {
    const int top = lane_top_[lane] + kInset;
    NameLane(lane);
    std::array<Bars, kPaintCount> bars = MakeBars(top + kBoxH / 2);
    for (const Segment& segment : segments_[lane]) {
      const int x0 = d_.X(segment.start_ms);
      const int x1 = segment.burst ? std::max(d_.X(segment.end_ms), x0 + 1) : d_.X(segment.end_ms);
      bars[IsDark(segment) ? kBurst : PaintOf(kLanes[lane].kind, segment.state)].Add(x0, x1);
    }
    for (std::size_t paint = 0u; paint < kPaintCount; ++paint) {
      s_ += bars[paint].Element(kPaintClass[paint], kBoxH);
    }
    TipsAndLabels(lane, top, kBoxH, [&](const Segment& segment, int x0, int x1) {
      const std::string label = ValueLabel(kLanes[lane].kind, segment.state);
      const bool on_red = PaintOf(kLanes[lane].kind, segment.state) == kWarn;
      if (TextWidth(label.size(), kCharW10) + 6 <= x1 - x0) {
        Text((x0 + x1) / 2, top + kBoxH - 5, on_red ? "wt" : nullptr, label, "middle");
      }
      // From the first tick on is where every lane starts: no time to point out.
      const std::string start = Int(segment.start_ms);
      if (segment.start_ms > d_.info_.tick_ms &&
          TextWidth(start.size(), kSmallCharW10) + 4 <= x1 - x0) {
        Text(x0 + 2, top + 8, on_red ? "sm wt" : "sm", start);
      }
    });
  }

  // A speed lane: a stepped line over a band where the speed is at or above the threshold,
  // which is drawn as a dashed line; both speed lanes share one scale.
  void SpeedLane(std::size_t lane) {
    const int top = lane_top_[lane] + kInset;
    const int bottom = top + kBoxH;
    NameLane(lane);
    const uint32 threshold = d_.info_.calibration.speed_threshold;
    uint64_t highest = std::max<uint64_t>(threshold, 1u);
    for (const std::size_t speed_lane : {kSpeedRawLane, kSpeedLane}) {
      for (const Segment& segment : segments_[speed_lane]) {
        if (segment.state.status == 0u || segment.burst) {
          highest = std::max<uint64_t>(highest, segment.max_value);
        }
      }
    }
    const uint64_t scale_top = NiceCeil(highest + highest / 8u + 1u);  // room above the line
    const auto y_of = [&](uint64_t value) {
      return bottom - static_cast<int>(std::min(value, scale_top) * kBoxH / scale_top);
    };
    Bars above(top + kBoxH / 2, false);
    Bars invalid(top + kBoxH / 2, false);
    std::string line;
    std::string bursts;
    int pen_x = -1;
    for (const Segment& segment : segments_[lane]) {
      const int x0 = d_.X(segment.start_ms);
      const int x1 = std::max(d_.X(segment.end_ms), segment.burst ? x0 + 1 : x0);
      if (IsDark(segment)) {
        const int y_high = y_of(segment.max_value);
        const int y_low = std::max(y_of(segment.min_value), y_high + 1);
        const int width = std::max(x1 - x0, 1);
        bursts += "M" + Int(x0) + " " + Int(y_high) + "h" + Int(width) + "V" + Int(y_low) + "h" +
                  Int(-width) + "z";
        pen_x = -1;
      } else if (segment.state.status != 0u) {
        invalid.Add(x0, x1);
        pen_x = -1;
      } else {
        const int y = y_of(segment.state.value);
        line += (pen_x == x0 ? "V" + Int(y) : "M" + Int(x0) + " " + Int(y)) + "H" + Int(x1);
        pen_x = x1;
        if (segment.state.value >= threshold) {
          above.Add(x0, x1);
        }
      }
    }
    s_ += above.Element("fa", kBoxH);
    s_ += invalid.Element(kPaintClass[kInvalid], kBoxH);
    const int y_threshold = y_of(threshold);
    s_ += "<path class=\"thr\" d=\"M" + Int(kPlotX) + " " + Int(y_threshold) + "H" + Int(kPlotEnd) +
          "\"/>\n";
    if (!bursts.empty()) {
      s_ += "<path class=\"bf\" d=\"" + bursts + "\"/>\n";
    }
    if (!line.empty()) {
      s_ += "<path class=\"ln\" d=\"" + line + "\"/>\n";
    }
    // Scale: top value and threshold, right-aligned left of the lane.
    Text(kPlotX - 4, top + 7, "sm", Count(scale_top), "end");
    if (y_threshold - 4 > top + 10 && y_threshold + 3 < bottom + 2) {
      Text(kPlotX - 4, y_threshold + 3, "sm bl", Int(threshold), "end");
    }
    TipsAndLabels(lane, top, kBoxH, [&](const Segment& segment, int x0, int x1) {
      const std::string label = Int(segment.state.value);
      if (segment.state.status == 0u && TextWidth(label.size(), kSmallCharW10) + 5 <= x1 - x0) {
        const int y = y_of(segment.state.value);
        Text(x0 + 3, y - 3 >= top + 8 ? y - 3 : y + 10, "sm", label);
      }
    });
  }

  // The warning's conditions as the logic reads the published signals, one row each: ignition
  // on, speed at or above the threshold, seat occupied, belt open, and the door grace. The
  // grace is not published; it is known to be over while the warning is requested and to be
  // running while the other four hold without a warning, and unknown otherwise.
  void ConditionsLane(std::size_t lane) {
    const int top = lane_top_[lane] + kInset;
    Text(12, top + kRows * kRowH / 2 + 4, "nm", "conditions");
    const std::array<std::string, kRows> names = ConditionNames();
    std::vector<Bars> met;
    std::vector<Bars> running;
    for (int row = 0; row < kRows; ++row) {
      const int y = top + row * kRowH + kRowH / 2;
      met.emplace_back(y, true);
      running.emplace_back(y, true);
      Text(kPlotX - 4, y + 3, "sm", names[static_cast<std::size_t>(row)], "end");
    }
    Bars bursts(top + kRows * kRowH / 2, false);
    for (const Segment& segment : segments_[lane]) {
      const int x0 = d_.X(segment.start_ms);
      const int x1 = std::max(d_.X(segment.end_ms), segment.burst ? x0 + 1 : x0);
      if (IsDark(segment)) {
        bursts.Add(x0, x1);
        continue;
      }
      const uint32 bits = segment.state.value;
      for (std::size_t row = 0u; row < kConditionBits.size(); ++row) {
        if ((bits & kConditionBits[row]) != 0u) {
          met[row].Add(x0, x1);
        }
      }
      if ((bits & kConditionWarning) != 0u) {
        met[kRows - 1].Add(x0, x1);
      } else if ((bits & kAllFour) == kAllFour) {
        running[kRows - 1].Add(x0, x1);
      }
    }
    for (std::size_t row = 0u; row < static_cast<std::size_t>(kRows); ++row) {
      s_ += met[row].Element(kPaintClass[kFavour], kRowH - 2);
      s_ += running[row].Element(kPaintClass[kDoorOpen], kRowH - 2);
    }
    s_ += bursts.Element(kPaintClass[kBurst], kRows * kRowH);
    TipsAndLabels(lane, top, kRows * kRowH, [](const Segment&, int, int) {});
  }

  void NameLane(std::size_t lane) {
    Text(12, lane_top_[lane] + kLaneH / 2 + 4, "nm", kLanes[lane].name);
  }

  static std::array<Bars, kPaintCount> MakeBars(int y) {
    return {{Bars(y, false), Bars(y, false), Bars(y, false), Bars(y, false), Bars(y, false),
             Bars(y, false), Bars(y, false)}};
  }

  // Labels on up to `rows` rows, each placed on the first row where it does not run into the
  // label before it; a label that fits nowhere is left out (its marker keeps its tooltip).
  class LabelRows {
   public:
    explicit LabelRows(std::size_t rows) : ends_(rows, kPlotX - 200) {}
    // The row for a label from x0 to x1, or -1.
    int Place(int x0, int x1) {
      for (std::size_t row = 0u; row < ends_.size(); ++row) {
        if (x0 >= ends_[row] + 6) {
          ends_[row] = x1;
          return static_cast<int>(row);
        }
      }
      return -1;
    }

   private:
    std::vector<int> ends_;
  };

  // Groups of items whose x lie within `merge_px` of the group's first: [first, last) indices.
  template <typename Item>
  std::vector<std::pair<std::size_t, std::size_t>> Groups(const std::vector<Item>& items,
                                                          int merge_px) const {
    std::vector<std::pair<std::size_t, std::size_t>> groups;
    for (std::size_t i = 0u; i < items.size(); ++i) {
      if (groups.empty() ||
          d_.X(items[i].time_ms) >= d_.X(items[groups.back().first].time_ms) + merge_px) {
        groups.emplace_back(i, i + 1u);
      } else {
        groups.back().second = i + 1u;
      }
    }
    return groups;
  }

  static std::size_t Shown(std::size_t first, std::size_t last) {
    return last - first <= kTipLines ? last - first : 1u;
  }

  static std::string More(std::size_t count, uint32 last_ms) {
    return "\nand " + Count(count) + " more up to " + Int(last_ms) + " ms";
  }

  static std::string StatusText(uint8 status) {
    return status == DEM_EVENT_STATUS_FAILED   ? "FAILED"
           : status == DEM_EVENT_STATUS_PASSED ? "PASSED"
                                               : "status " + Int(status);
  }

  // A marker per diagnostic report, reports within a few pixels sharing one: a red triangle
  // pointing down for FAILED, a green one pointing up for PASSED, both for a FAILED and PASSED
  // pair, a grey diamond for any other status. Up to three reports are named beside it, an
  // event's statuses after its name ("LATCH_STUCK FAILED, PASSED"); more are counted.
  void Reports() {
    const int top = reports_top_;
    s_ += "<g class=\"lane\" id=\"lane-diagnostics\">\n";
    s_ += "<rect class=\"bg\" x=\"" + Int(kPlotX) + "\" y=\"" + Int(top) + "\" width=\"" +
          Int(kPlotW) + "\" height=\"" + Int(kReportsH - 4) + "\"/>\n";
    Text(12, top + 18, "nm", "diagnostics");
    LabelRows rows(2u);
    const int y = top + 10;
    for (const auto& [first, last] : Groups(d_.reports_, kMarkerPx)) {
      const int x = d_.X(d_.reports_[first].time_ms);
      bool failed = false;
      bool passed = false;
      bool other = false;
      std::string title;
      XmlText label;
      const std::size_t shown = Shown(first, last);
      for (std::size_t i = first; i < last; ++i) {
        const Report& r = d_.reports_[i];
        failed = failed || r.status == DEM_EVENT_STATUS_FAILED;
        passed = passed || r.status == DEM_EVENT_STATUS_PASSED;
        other =
            other || (r.status != DEM_EVENT_STATUS_FAILED && r.status != DEM_EVENT_STATUS_PASSED);
        if (i - first >= shown) {
          continue;
        }
        const XmlText name = ToXml(r.event_name, 40u);
        const std::string status = StatusText(r.status);
        title += std::string(i == first ? "t=" : "\nt=") + Int(r.time_ms) +
                 " ms: diagnostic event " + Hex(r.event_id, 4) + " " + name.xml + " " + status;
        const bool same_event = i > first && r.event_name == d_.reports_[i - 1u].event_name;
        const std::string part =
            same_event ? ", " + status : (i > first ? "; " : "") + name.xml + " " + status;
        label.xml += part;
        label.chars += part.size() - (same_event ? 0u : name.xml.size() - name.chars);
      }
      if (last - first > shown) {
        title += More(last - first - shown, d_.reports_[last - 1u].time_ms);
        label.xml = Count(last - first) + " reports";
        label.chars = label.xml.size();
      }
      s_ += "<g class=\"report\"><title>" + title + "</title>";
      const std::string left = Int(x - 5);
      if (other) {
        s_ += "<path class=\"mo\" d=\"M" + Int(x) + " " + Int(y - 5) + "l5 5l-5 5l-5 -5z\"/>";
      } else if (failed && passed) {
        s_ += "<path class=\"mf\" d=\"M" + left + " " + Int(y - 8) + "h10l-5 8z\"/>";
        s_ += "<path class=\"mp\" d=\"M" + left + " " + Int(y + 8) + "h10l-5 -8z\"/>";
      } else if (failed) {
        s_ += "<path class=\"mf\" d=\"M" + left + " " + Int(y - 5) + "h10l-5 9z\"/>";
      } else {
        s_ += "<path class=\"mp\" d=\"M" + left + " " + Int(y + 4) + "h10l-5 -9z\"/>";
      }
      s_ += "</g>\n";
      const int width = TextWidth(label.chars, kSmallCharW10);
      const bool leftwards = x + width > kPlotEnd;
      const int row = rows.Place(leftwards ? x - width : x - 3, leftwards ? x : x - 3 + width);
      if (row >= 0) {
        Text(leftwards ? x : x - 3, top + 27 + row * 11, "sm", label.xml,
             leftwards ? "end" : nullptr);
      }
    }
    s_ += "</g>\n";
  }

  // A red cross per failed expectation (failures within a few pixels share one) in a strip of
  // their own below the diagnostics, its place beside it, a red guide up through the lanes, and
  // the list of the first failures below the notes with what was seen.
  void Failures() {
    if (d_.failures_.empty()) {
      return;
    }
    const int top = failures_top_;
    s_ += "<g class=\"lane\" id=\"lane-expectations\">\n";
    s_ += "<rect class=\"bg\" x=\"" + Int(kPlotX) + "\" y=\"" + Int(top) + "\" width=\"" +
          Int(kPlotW) + "\" height=\"" + Int(kFailuresH - 4) + "\"/>\n";
    Text(12, top + 18, "nm", "failed");
    std::string guides;
    LabelRows rows(1u);
    const int y = top + 10;
    for (const auto& [first, last] : Groups(d_.failures_, kMarkerPx)) {
      const int x = d_.X(d_.failures_[first].time_ms);
      guides += "M" + Int(x) + " " + Int(kLanesTop) + "V" + Int(top);
      std::string title;
      const std::size_t shown = Shown(first, last);
      for (std::size_t i = first; i < first + shown; ++i) {
        title += std::string(i == first ? "t=" : "\nt=") + Int(d_.failures_[i].time_ms) +
                 " ms: expectation failed: " + ToXml(d_.failures_[i].text, kNoteChars * 2u).xml;
      }
      if (last - first > shown) {
        title += More(last - first - shown, d_.failures_[last - 1u].time_ms);
      }
      s_ += "<g><title>" + title + "</title><path class=\"fx\" d=\"M" + Int(x - 5) + " " +
            Int(y - 5) + "l10 10m0 -10l-10 10\"/></g>\n";
      const XmlText label = last - first == 1u ? ToXml(d_.failures_[first].place, 40u)
                                               : XmlText{Count(last - first) + " failures", 0u};
      const std::size_t chars = label.chars > 0u ? label.chars : label.xml.size();
      const int width = TextWidth(chars, kSmallCharW10);
      const bool leftwards = x + width > kPlotEnd;
      if (rows.Place(leftwards ? x - width : x - 3, leftwards ? x : x - 3 + width) >= 0) {
        Text(leftwards ? x : x - 3, top + 26, "sm ft", label.xml, leftwards ? "end" : nullptr);
      }
    }
    s_ += "</g>\n<path class=\"fg\" d=\"" + guides + "\"/>\n";
    Text(12, failures_list_top_, "ft", "failed expectations:");
    const std::size_t listed = std::min(d_.failures_.size(), kListedNotes);
    for (std::size_t i = 0u; i < listed; ++i) {
      const Failure& failure = d_.failures_[i];
      std::string time = Int(failure.time_ms) + " ms";
      time.insert(0u, 11u - std::min<std::size_t>(time.size(), 11u), ' ');
      s_ += "<text x=\"12\" y=\"" + Int(failures_list_top_ + static_cast<int>(i + 1u) * 15) +
            "\" xml:space=\"preserve\">" + time + "  " + ToXml(failure.text, kNoteChars * 2u).xml +
            "</text>\n";
    }
    if (d_.failures_.size() > kListedNotes) {
      Text(12, failures_list_top_ + static_cast<int>(listed + 1u) * 15, "gh",
           "and " + Count(d_.failures_.size() - kListedNotes) +
               " more (the [SIM] lines list them all)");
    }
  }

  // A numbered marker on the time axis per note (notes within a few pixels share one), a dashed
  // guide up through the lanes, and the list of the first notes below the axis.
  void Notes() {
    std::string guides;
    LabelRows rows(2u);
    for (const auto& [first, last] : Groups(d_.notes_, kMarkerPx)) {
      const int x = d_.X(d_.notes_[first].time_ms);
      guides += "M" + Int(x) + " " + Int(kLanesTop) + "V" + Int(axis_y_);
      std::string title;
      const std::size_t shown = Shown(first, last);
      for (std::size_t i = first; i < first + shown; ++i) {
        title += std::string(i == first ? "t=" : "\nt=") + Int(d_.notes_[i].time_ms) +
                 " ms: note: " +
                 ToXml(d_.notes_[i].text, last - first == 1u ? kNoteChars : kNoteChars / 2u).xml;
      }
      if (last - first > shown) {
        title += More(last - first - shown, d_.notes_[last - 1u].time_ms);
      }
      const int y = axis_y_ + 21;
      s_ += "<g class=\"note\"><title>" + title + "</title><path d=\"M" + Int(x) + " " + Int(y) +
            "l-4 7h8z\"/>";
      const std::string number =
          last - first == 1u ? Count(first + 1u) : Count(first + 1u) + "\xE2\x80\x93" + Count(last);
      const std::size_t chars = last - first == 1u ? number.size() : number.size() - 2u;
      const int width = TextWidth(chars, kCharW10);
      const int row = rows.Place(x - width / 2, x + width / 2);
      if (row >= 0) {
        s_ += "<text x=\"" + Int(x) + "\" y=\"" + Int(y + 19 + row * 12) +
              "\" text-anchor=\"middle\">" + number + "</text>";
      }
      s_ += "</g>\n";
    }
    if (!guides.empty()) {
      s_ += "<path class=\"guide\" d=\"" + guides + "\"/>\n";
    }
    const std::size_t listed = std::min(d_.notes_.size(), kListedNotes);
    const std::size_t per_column = (listed + 1u) / 2u;
    for (std::size_t i = 0u; i < listed; ++i) {
      const int x = 12 + (i < per_column ? 0 : kWidth / 2);
      const int y = notes_top_ + static_cast<int>(i % std::max<std::size_t>(per_column, 1u)) * 15;
      const Note& note = d_.notes_[i];
      std::string number = Count(i + 1u);
      number.insert(0u, 3u - std::min<std::size_t>(number.size(), 3u), ' ');
      std::string time = Int(note.time_ms) + " ms";
      time.insert(0u, 11u - std::min<std::size_t>(time.size(), 11u), ' ');
      s_ += "<text x=\"" + Int(x) + "\" y=\"" + Int(y) + "\" xml:space=\"preserve\">";
      s_.append(number).append(" ").append(time).append("  ");
      s_ += ToXml(note.text, kNoteChars).xml + "</text>\n";
    }
    if (d_.notes_.size() > kListedNotes) {
      Text(12, notes_top_ + static_cast<int>(per_column) * 15, "gh",
           "and " + Count(d_.notes_.size() - kListedNotes) +
               " more notes (the [SIM] note lines list them all)");
    }
  }

  // The warning intervals as red bands across every lane, intervals within a few pixels as one,
  // with their times above the lanes where they fit.
  void Warnings() {
    struct Band {
      int x0;
      int x1;
      std::size_t first;
      std::size_t last;
    };
    std::vector<Band> bands;
    for (std::size_t i = 0u; i < d_.warnings_.size(); ++i) {
      const Warning& w = d_.warnings_[i];
      const int x0 = d_.X(w.start_ms);
      const int x1 = std::max(d_.X(w.end_ms.value_or(d_.span_ms_)), x0 + 1);
      if (!bands.empty() && x0 < bands.back().x1 + kBandGapPx) {
        bands.back().x1 = std::max(bands.back().x1, x1);
        bands.back().last = i + 1u;
      } else {
        bands.push_back({x0, x1, i, i + 1u});
      }
    }
    std::string fill;
    std::string edges;
    LabelRows rows(1u);
    for (const Band& band : bands) {
      const std::string height = Int(lanes_bottom_ - 4 - kLanesTop);
      const std::string top = " " + Int(kLanesTop);
      fill.append("M").append(Int(band.x0)).append(top).append("h").append(Int(band.x1 - band.x0));
      fill.append("v").append(height).append("h").append(Int(band.x0 - band.x1)).append("z");
      for (const int x : {band.x0, band.x1}) {
        edges.append("M").append(Int(x)).append(top).append("v").append(height);
      }
      const Warning& w = d_.warnings_[band.first];
      std::string label;
      if (band.last - band.first > 1u) {
        label = Count(band.last - band.first) + " warnings";
      } else if (w.end_ms) {
        label = Int(w.start_ms) + "\xE2\x80\x93" + Int(*w.end_ms) + " ms";
      } else {
        label = "from " + Int(w.start_ms) + " ms to the end";
      }
      const std::size_t chars = label.size() - (label.find('\xE2') != std::string::npos ? 2u : 0u);
      const int width = TextWidth(chars, kCharW10);
      const int center = (band.x0 + band.x1) / 2;
      const int x0 = std::clamp(center - width / 2, kPlotX, kPlotEnd - width);
      if (rows.Place(x0, x0 + width) == 0) {
        const std::string title =
            band.last - band.first > 1u
                ? label + " from " + Int(w.start_ms) + " ms"
                : "warning requested " + (w.end_ms ? Range(w.start_ms, *w.end_ms) + " (" +
                                                         Int(*w.end_ms - w.start_ms) + " ms)"
                                                   : "from " + Int(w.start_ms) + " ms to the end");
        Text(x0, kLanesTop - 5, "bl", label, nullptr, title);
      }
    }
    if (!bands.empty()) {
      s_ += "<path class=\"band\" d=\"" + fill + "\"/>\n<path class=\"be\" d=\"" + edges + "\"/>\n";
    }
  }

  const SvgDiagram& d_;
  std::array<std::vector<Segment>, kLaneCount> segments_;
  std::string s_;
  std::array<int, kLaneCount> lane_top_{};
  std::vector<int> group_top_;
  int reports_top_ = 0;
  int failures_top_ = 0;
  int failures_list_top_ = 0;
  int lanes_bottom_ = 0;
  int axis_y_ = 0;
  int notes_top_ = 0;
  int height_ = 0;
};

std::string SvgDiagram::Render() const {
  return Renderer(*this).Run();
}

}  // namespace seatbelt_sim
