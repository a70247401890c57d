// Command-line parsing and the --help text of seatbelt_sim.
#include "options.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "cli.h"
#include "scenario.h"

namespace seatbelt_sim {
namespace {

constexpr const char kHelp[] = R"(Usage: seatbelt_sim [OPTIONS] [SCENARIO_FILE]

Runs the four seatbelt reminder components (vehicle state, latch sensor, occupancy sensor,
warning logic) on a simulated 10 ms schedule, driven by the timed stimuli of SCENARIO_FILE.
Without SCENARIO_FILE it runs the built-in drive: 30 s in which the driver gets in, starts,
drives off with the belt open, buckles up, unbuckles at speed and parks.

Options:
  --csv FILE       write one row per tick to FILE (comma-separated values, see below)
  --vcd FILE       write the same signals to FILE as a Value Change Dump (1 ms timescale),
                   for waveform viewers such as GTKWave
  --svg FILE       draw the run as a timing diagram in FILE, an SVG picture that any web
                   browser shows (see below)
  --junit FILE     write the verdicts of the scenario's expectations to FILE as a JUnit
                   XML report, as CI servers read it (see below)
  --duration MS    run for MS milliseconds, overriding the scenario's 'end' line
                   (0 to 4294967290)
  -h, --help       show this text and exit
  --               end of options; the next argument is the scenario file
  Options also take their value as --csv=FILE, --vcd=FILE, --svg=FILE, --junit=FILE,
  --duration=MS.

Schedule:
  g_time_ms starts at 0. Before each tick the host adds 10 to g_time_ms, then calls
  VehicleState_IF_10ms, Seatbelt_Sensor_IF_10ms, Occupancy_Sensor_IF_10ms and
  SeatbeltWarning_Logic_10ms, so the first tick runs at 10 ms. SeatbeltWarning_Logic_Init
  runs once, after the calibration is set and before the first tick. A stimulus at time T
  is applied before the first tick whose g_time_ms is at or after T: times 0 and 10 both
  act on the first tick, 15 acts on the tick at 20. Stimuli of the same tick apply in file
  order. The run ends with the tick at the end time (rounded up to a multiple of 10):
  'end 30000' runs 3000 ticks, the last at 30000 ms.

Scenario format (one statement per line; '#' starts a comment; blanks separate words;
names are lower case; numbers are decimal):
  TIME latch VALUE        raw latch input, 0 to 255 (0 = unlatched, any other value
                          latched), or latched (1)/unlatched (0)
  TIME occupancy VALUE    raw seat occupancy, 0 to 4294967295, or empty (0)/occupied (1)
  TIME speed VALUE        vehicle speed, 0 to 65535
  TIME door VALUE         open (0) or closed (1)
  TIME ignition VALUE     0 to 4294967295, or off (0)/on (1)
  TIME note TEXT          prints TEXT when its time comes (narration; no effect)
  calibration FIELD VALUE overrides a calibration field (0 to 65535) for the whole run;
                          FIELD is latch_debounce_ms, unlatch_debounce_ms, occ_debounce_ms,
                          speed_threshold or door_grace_ms
  end TIME                the run length; at most once; no stimulus may come after it
  expect SIGNAL OP VALUE WHEN [as ID]
                          an expectation, judged while the run goes on (see below)
  TIME is in ms, 0 to 4294967290, and never decreases from one stimulus to the next. A
  scenario needs an 'end' line unless --duration is given. Until a stimulus says otherwise
  the inputs are: latch 1, occupancy 0, speed 0, door 1 (closed), ignition 0. Default
  calibration: latch_debounce_ms 50, unlatch_debounce_ms 100, occ_debounce_ms 300,
  speed_threshold 25, door_grace_ms 3000.

  Example:
    # Belt left open on the way out of the car park.
    calibration door_grace_ms 2000
    0     ignition   on
    0     occupancy  occupied
    0     latch      unlatched
    500   door       closed
    1000  note       pulling away
    1000  speed      30
    8000  latch      latched
    end   10000

Expectations (anywhere in the file, in any order, also after 'end'):
  SIGNAL  a CSV column but time (see below), or latch_stuck / speed_stuck: true from a
          FAILED report of that diagnostic event until its next PASSED report
  OP      ==, !=, <, <=, > or >=
  VALUE   a number within the signal's range (booleans 0 to 1; statuses and
          warning_request 0 to 255; the raw inputs as above), or a word: true/false for
          any signal; latched/unlatched (latch_raw, latch_filtered), open/closed
          (door_raw, door_closed), on/off (ignition_raw, ignition_state),
          empty/occupied (occupancy_raw, occupancy_filtered), none (0)/active (2)
          (warning_request)
  WHEN    at T              at the first tick at or after T
          during A..B       at every tick t with A <= t <= B
          within A..B       at one tick or more with A <= t <= B
          always            at every tick of the run
  as ID   the requirement the expectation verifies (letters, digits, _ . -)
  A signal's value at a tick is the one in the tick's CSV row, after the runnables. A
  window must hold a tick and end by the run's last tick. Each expectation is decided as
  soon as its outcome is known; a failure prints a line at once.
    expect warning_request == active during 9000..13030 as SBR-WARN-01
    expect latch_filtered == unlatched within 18000..18200

Output (standard output, in order):
  The components' trace lines, every 100 ms, passed through as they print them:
    [TIME  9000] IGN=1 SPD=25 OCC=1 LATCH=0 DOOR=1 GRACE=0 WARN=2
  The host's own lines, all starting with "[SIM] ":
    [SIM] scenario NAME: N ticks of 10 ms, until END ms
    [SIM] calibration: latch_debounce_ms=50 unlatch_debounce_ms=100 ...
    [SIM] t=T ms: set INPUT = VALUE           a stimulus, applied before the tick at T
    [SIM] t=T ms: note: TEXT
    [SIM] t=T ms: warning request A -> B (ACTIVE|NONE)        each change of the request
    [SIM] t=T ms: diagnostic event 0xID NAME FAILED|PASSED    each diagnostic report
    [SIM] t=T ms: expectation failed: FILE:LINE: expect ...: SIGNAL was V at T ms
  T is the g_time_ms of the tick. NAME is LATCH_STUCK (0x1001) or SPEED_STUCK (0x1004).
  and a closing summary:
    [SIM] --- summary ---
    [SIM] ticks run: N (last tick at T ms)
    [SIM] warning intervals: K
    [SIM]   warning from S ms to E ms (D ms)      active on the ticks S..E-10
    [SIM]   warning from S ms to the end (still active at T ms)
    [SIM] diagnostic reports: M
    [SIM]   t=T ms: diagnostic event 0xID NAME FAILED|PASSED
    [SIM] expectations: P passed, F failed    (only when the scenario has expectations)

CSV (--csv): a header line of quoted column names, then one row per tick:
  "time","latch_raw","occupancy_raw","speed_raw","door_raw","ignition_raw",
  "latch_filtered","latch_filtered_status","occupancy_filtered",
  "occupancy_filtered_status","vehicle_speed","vehicle_speed_status","ignition_state",
  "ignition_state_status","door_closed","door_closed_status","warning_request"
  time is the tick's g_time_ms in seconds with three decimals (0.010, 0.020, ...). The raw
  columns are the inputs in force for the tick; the others are what the components
  published and requested on it. A status of 132 (0x84) means "never received".

SVG (--svg): a timing diagram, one lane per signal: the raw inputs, the published
  signals and the warning request, then the warning's conditions (ignition on, speed at
  or above the threshold, seat occupied, belt open, door grace over). Amber marks a
  condition that holds, red the warning, hatching a status that is not valid; speeds are
  stepped lines with the threshold dashed. Warning intervals are red bands across the
  lanes, diagnostic reports triangles (red FAILED, green PASSED), notes numbered marks on
  the time axis, listed below it. Changes closer than a pixel are merged into a dark
  block, so a long run's picture stays small. Pointing at a stretch shows its value and
  times. FILE appears only once complete (written beside it under a hidden name, then
  renamed).

JUnit (--junit): one <testsuite> named after the scenario, one <testcase> per expectation
  (named "ID FILE:LINE", or "FILE:LINE" without an ID) with a <failure> for a failed
  one; a scenario without expectations is one testcase "run". FILE is written whole,
  like the picture.

Exit status:
  0  the run completed and every expectation passed
  1  an output file (or standard output) could not be written
  2  bad command line or bad scenario; nothing was run
  3  the run completed and one or more expectations failed (outputs are written)
)";

struct PathOption {
  const char* name;
  std::optional<std::string> Options::*field;
};

constexpr PathOption kPathOptions[] = {
    {"--csv", &Options::csv_path},
    {"--vcd", &Options::vcd_path},
    {"--svg", &Options::svg_path},
    {"--junit", &Options::junit_path},
};

}  // namespace

const char* HelpText() {
  return kHelp;
}

OptionsResult ParseOptions(int argc, const char* const* argv) {
  using host_cli::Quote;
  Options options;
  OptionsResult result;
  host_cli::OnceEach given;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options_ended || !host_cli::LooksLikeOption(arg, false)) {
      if (options.scenario_path) {
        result.error = "more than one scenario file (" + Quote(*options.scenario_path) + " and " +
                       Quote(arg) + ")";
        return result;
      }
      options.scenario_path = std::string(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      options.help = true;
      result.options = options;
      return result;
    }
    const host_cli::Option option = host_cli::SplitOption(arg);

    const auto* const path_option =
        std::find_if(std::begin(kPathOptions), std::end(kPathOptions),
                     [&option](const PathOption& p) { return option.name == p.name; });
    if (path_option != std::end(kPathOptions)) {
      const std::optional<std::string_view> value = host_cli::TakeValue(option, argc, argv, i);
      if (!value || value->empty()) {
        result.error = "option " + Quote(option.name) + " needs a file name";
        return result;
      }
      if (!given.First(option.name)) {
        result.error = host_cli::GivenTwice(option.name);
        return result;
      }
      options.*(path_option->field) = std::string(*value);
      continue;
    }
    if (option.name == "--duration") {
      // A single '-' is taken, so that "--duration -5" is reported as a bad duration.
      const std::optional<std::string_view> value =
          host_cli::TakeValue(option, argc, argv, i, true);
      if (!value) {
        result.error = "option '--duration' needs a time in ms";
        return result;
      }
      if (!given.First(option.name)) {
        result.error = host_cli::GivenTwice(option.name);
        return result;
      }
      options.duration_ms = ParseDurationMs(*value);
      if (!options.duration_ms) {
        result.error = "invalid duration " + Quote(*value) + " (expected ms, 0 to " +
                       std::to_string(kMaxTimeMs) + ")";
        return result;
      }
      continue;
    }
    result.error = "unknown option " + Quote(arg);
    return result;
  }
  result.options = options;
  return result;
}

}  // namespace seatbelt_sim
