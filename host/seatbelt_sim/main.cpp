// seatbelt_sim: software-in-the-loop host of the seatbelt reminder components. See HelpText()
// in options.cpp for what it does and prints.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "junit_report.h"
#include "options.h"
#include "replacing_file.h"
#include "run_loader.h"
#include "run_record.h"
#include "signal_log.h"
#include "simulation.h"
#include "svg_writer.h"
#include "vcd_writer.h"

namespace {

constexpr const char* kProgram = "seatbelt_sim";

// Buffer of standard output when it is not a terminal: the trace lines of a long run are
// written in large blocks instead of 4 KiB ones.
constexpr std::size_t kStdoutBufferBytes = 1u << 16u;

void AppendTo(const char* text, std::size_t size, void* context) {
  static_cast<std::string*>(context)->append(text, size);
}

int UsageError(const std::string& message) {
  (void)std::fprintf(stderr, "seatbelt_sim: %s\nTry 'seatbelt_sim --help' for more information.\n",
                     message.c_str());
  return seatbelt_sim::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace seatbelt_sim;

  if (isatty(STDOUT_FILENO) == 0) {
    (void)std::setvbuf(stdout, nullptr, _IOFBF, kStdoutBufferBytes);
  }

  const OptionsResult parsed = ParseOptions(argc, argv);
  if (!parsed.options) {
    return UsageError(parsed.error);
  }
  const Options& options = *parsed.options;
  if (options.help) {
    (void)std::fputs(HelpText(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
      (void)std::fprintf(stderr, "seatbelt_sim: cannot write standard output\n");
      return kExitOutputFailed;
    }
    return kExitOk;
  }

  LoadedRun run;
  if (!LoadRun(options.scenario_path, options.duration_ms, run)) {
    return kExitUsage;
  }

  // Outputs are opened only once the input is known to be good, so a rejected scenario
  // leaves no empty files behind.
  RunRecord record(stdout);
  ExpectationJudge judge;
  if (!judge.Start(run.setup.expectations, run.setup.expectation_count, run.setup.ticks,
                   run.setup.name, stdout)) {
    (void)std::fprintf(stderr, "seatbelt_sim: out of memory for the expectations\n");
    return kExitOutputFailed;
  }
  RunObserver* observers[3] = {};
  std::size_t observer_count = 0u;
  std::optional<CsvWriter> csv;
  if (options.csv_path) {
    csv.emplace();
    if (!csv->Open(options.csv_path->c_str())) {
      csv->PrintError(stderr, kProgram);
      return kExitOutputFailed;
    }
    observers[observer_count++] = &*csv;
  }
  std::optional<VcdWriter> vcd;
  if (options.vcd_path) {
    vcd.emplace();
    if (!vcd->Open(options.vcd_path->c_str(), "scenario " + run.name, InitialSample())) {
      vcd->PrintError(stderr, kProgram);
      return kExitOutputFailed;
    }
    observers[observer_count++] = &*vcd;
  }
  std::optional<SvgWriter> svg;
  if (options.svg_path) {
    svg.emplace(record, &judge);
    if (!svg->Open(*options.svg_path, run.setup, InitialSample())) {
      svg->PrintError(stderr, kProgram);
      return kExitOutputFailed;
    }
    observers[observer_count++] = &*svg;
  }

  seatbelt_sim::ReplacingFile junit;
  if (options.junit_path) {
    std::string error;
    if (!junit.Open(*options.junit_path, error)) {
      (void)std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
      return kExitOutputFailed;
    }
  }

  const auto started = std::chrono::steady_clock::now();
  RunSimulation(run.setup, stdout, record, observers, observer_count, &judge);
  int status = FinishRun(stdout, record, observers, observer_count, run.setup.ticks * kTickMs,
                         kProgram, stderr, &judge);
  if (options.junit_path) {
    RunEnd end;
    end.millis = static_cast<uint32>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - started)
                                         .count());
    if (status == kExitOutputFailed) {
      end.error = "an output could not be written in full";
    }
    std::string report;
    WriteJUnitReport(run.setup.name, judge, end, &AppendTo, &report);
    std::string error;
    if (!junit.Commit(report, error)) {
      (void)std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
      status = kExitOutputFailed;
    }
  }
  return status;
}
