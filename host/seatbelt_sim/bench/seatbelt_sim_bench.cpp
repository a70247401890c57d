// Whole seatbelt_sim runs, as a user starts them: the program is spawned with its standard
// output on /dev/null and timed on the wall clock from spawn to exit. Reports the simulated time
// per wall-clock second (sim_s_per_s: 1 simulated hour in 20 ms is 180000) and the wall time per
// 10 ms tick, process start included.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "busy_hour_scenario.h"

extern char** environ;

namespace {

constexpr long long kHourMs = 3600LL * 1000LL;
constexpr long long kDayMs = 24LL * kHourMs;
constexpr long long kTickMs = 10;

// Runs seatbelt_sim with args; the wall time in seconds, or a negative value if it could not be
// started or did not exit with status 0.
double RunProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::string program = SEATBELT_SIM_PATH;
  argv.push_back(program.data());
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    return -1.0;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return -1.0;
  }
  return wall.count();
}

// Paths of the busy-hour scenario files, without and with 100 expectations, written on first
// use and removed at exit; empty while they could not be written. Plain arrays, so they are
// still there when the exit handler runs.
constexpr int kBusyHourExpectations = 100;
char busy_hour_paths[2][64] = {"", ""};

void RemoveBusyHourFiles() {
  for (const char* path : busy_hour_paths) {
    if (path[0] != '\0') {
      (void)unlink(path);
    }
  }
}

std::string BusyHourFile(bool with_expectations = false) {
  char* const path = busy_hour_paths[with_expectations ? 1 : 0];
  if (path[0] == '\0') {
    char name[] = "/tmp/seatbelt_sim_bench_XXXXXX";
    static_assert(sizeof name <= sizeof busy_hour_paths[0], "room for the file name");
    const int fd = mkstemp(name);
    if (fd < 0) {
      return {};
    }
    std::string text = seatbelt_sim_bench::BusyHourScenario();
    if (with_expectations) {
      text += seatbelt_sim_bench::BusyHourExpectations(kBusyHourExpectations);
    }
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    (void)close(fd);
    if (!written) {
      (void)unlink(name);
      return {};
    }
    std::memcpy(path, name, sizeof name);
    static const bool registered = std::atexit(&RemoveBusyHourFiles) == 0;
    (void)registered;
  }
  return path;
}

void TimeRuns(benchmark::State& state, const std::vector<std::string>& args, long long sim_ms) {
  double total_wall_s = 0.0;
  for (auto _ : state) {
    const double wall_s = RunProgram(args);
    if (wall_s < 0.0) {
      state.SkipWithError("seatbelt_sim did not run to completion");
      return;
    }
    state.SetIterationTime(wall_s);
    total_wall_s += wall_s;
  }
  const double runs = static_cast<double>(state.iterations());
  const double sim_s = static_cast<double>(sim_ms) / 1000.0;
  state.counters["sim_s_per_s"] = sim_s * runs / total_wall_s;
  if (sim_ms > 0) {
    state.counters["ns_per_tick"] =
        total_wall_s * 1e9 / (runs * static_cast<double>(sim_ms / kTickMs));
  }
}

// The built-in 30 s drive stretched to the duration: after the drive the car stands parked.
// Duration 0 runs no tick and measures the process start alone.
void BM_BuiltinDrive(benchmark::State& state) {
  const long long duration_ms = state.range(0);
  TimeRuns(state, {"--duration", std::to_string(duration_ms)}, duration_ms);
}
BENCHMARK(BM_BuiltinDrive)
    ->Name("seatbelt_sim/builtin_drive")
    ->ArgName("duration_ms")
    ->Arg(0)
    ->Arg(kHourMs)
    ->Arg(kDayMs)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_BusyHour(benchmark::State& state) {
  if (BusyHourFile().empty()) {
    state.SkipWithError("cannot write the scenario file");
    return;
  }
  TimeRuns(state, {BusyHourFile()}, seatbelt_sim_bench::kBusyHourMs);
}
BENCHMARK(BM_BusyHour)
    ->Name("seatbelt_sim/busy_hour")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The same hour judging 100 expectations of all four forms, which all pass: their cost per tick
// beside the plain busy hour's.
void BM_BusyHourExpectations(benchmark::State& state) {
  if (BusyHourFile(true).empty()) {
    state.SkipWithError("cannot write the scenario file");
    return;
  }
  TimeRuns(state, {BusyHourFile(true)}, seatbelt_sim_bench::kBusyHourMs);
}
BENCHMARK(BM_BusyHourExpectations)
    ->Name("seatbelt_sim/busy_hour_100_expectations")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The same hour with both per-tick logs written (to /dev/null): 360000 CSV rows and the VCD.
void BM_BusyHourLogged(benchmark::State& state) {
  if (BusyHourFile().empty()) {
    state.SkipWithError("cannot write the scenario file");
    return;
  }
  TimeRuns(state, {"--csv", "/dev/null", "--vcd", "/dev/null", BusyHourFile()},
           seatbelt_sim_bench::kBusyHourMs);
}
BENCHMARK(BM_BusyHourLogged)
    ->Name("seatbelt_sim/busy_hour_csv_vcd")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The same runs with the timing diagram (--svg) written to a file in /tmp, as a user writes it:
// what the picture costs beside the run, and its size (svg_bytes).
void TimeRunsWithSvg(benchmark::State& state, std::vector<std::string> args, long long sim_ms) {
  const std::string path = "/tmp/seatbelt_sim_bench_" + std::to_string(getpid()) + ".svg";
  args.insert(args.begin(), {"--svg", path});
  TimeRuns(state, args, sim_ms);
  struct stat file {};
  state.counters["svg_bytes"] =
      stat(path.c_str(), &file) == 0 ? static_cast<double>(file.st_size) : -1.0;
  (void)unlink(path.c_str());
}

void BM_BuiltinDriveSvg(benchmark::State& state) {
  const long long duration_ms = state.range(0);
  TimeRunsWithSvg(state, {"--duration", std::to_string(duration_ms)}, duration_ms);
}
BENCHMARK(BM_BuiltinDriveSvg)
    ->Name("seatbelt_sim/builtin_drive_svg")
    ->ArgName("duration_ms")
    ->Arg(kHourMs)
    ->Arg(kDayMs)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_BusyHourSvg(benchmark::State& state) {
  if (BusyHourFile().empty()) {
    state.SkipWithError("cannot write the scenario file");
    return;
  }
  TimeRunsWithSvg(state, {BusyHourFile()}, seatbelt_sim_bench::kBusyHourMs);
}
BENCHMARK(BM_BusyHourSvg)
    ->Name("seatbelt_sim/busy_hour_svg")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
