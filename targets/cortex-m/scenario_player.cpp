// scenario_player: the seatbelt simulation on the board. It reads a run table (written on the
// desktop by scenario_table from a scenario file) through semihosting and runs it through the
// simulation core, the four components and the runtime layer, printing what seatbelt_sim prints
// for the same scenario and writing the same CSV file. run-scenario.sh drives both halves.
//
// Command line: scenario_player [--stack] TABLE_FILE
//   --stack  after the run, "stack: N of M bytes used" on standard error, measured on the board
//
// Exit status: seatbelt_sim's (0 run completed and every expectation passed, 1 an output could
// not be written in full, 3 an expectation failed), and 2 when the table cannot be read or is
// damaged; nothing is run then. Messages carry
// seatbelt_sim's name, as the player stands in for it.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "board.h"
#include "command_line.h"
#include "growing_list.h"
#include "junit_report.h"
#include "run_record.h"
#include "run_table.h"
#include "signal_log.h"
#include "simulation.h"

namespace {

using seatbelt_sim::kExitOk;
using seatbelt_sim::kExitOutputFailed;
using seatbelt_sim::kExitUsage;

constexpr const char* kProgram = "seatbelt_sim";

// What would weigh on the 8 KiB stack lives here: the CSV writer holds a 64 KiB buffer.
board::CommandLine command_line;
seatbelt_sim::CsvWriter csv;
// Standard output in blocks, as on the desktop: each semihosting write stops the emulated core.
char stdout_buffer[4096];

struct Arguments {
  bool report_stack = false;
  const char* table_path = nullptr;
};

void PutToFile(const char* text, std::size_t size, void* context) {
  (void)std::fwrite(text, 1u, size, static_cast<std::FILE*>(context));
}

// The run's JUnit report to path; the caller puts it in place, and sets its times, which the
// board cannot measure. False with errno set when it could not be written.
bool WriteJUnit(const char* path, const seatbelt_sim::RunSetup& run,
                const seatbelt_sim::ExpectationJudge& judge, int status) {
  std::FILE* const file = std::fopen(path, "wb");
  if (file == nullptr) {
    return false;
  }
  seatbelt_sim::RunEnd end;
  if (status == kExitOutputFailed) {
    end.error = "an output could not be written in full";
  }
  seatbelt_sim::WriteJUnitReport(run.name, judge, end, &PutToFile, file);
  const bool written = std::ferror(file) == 0;
  return std::fclose(file) == 0 && written;
}

bool ParseArguments(const board::CommandLine& line, Arguments& arguments) {
  for (std::size_t i = 0u; i < line.argument_count(); ++i) {
    const char* const word = line.argument(i);
    if (std::strcmp(word, "--stack") == 0 && !arguments.report_stack) {
      arguments.report_stack = true;
    } else if (word[0] != '-' && arguments.table_path == nullptr) {
      arguments.table_path = word;
    } else {
      return false;
    }
  }
  return arguments.table_path != nullptr;
}

// The whole file at path into bytes; false with errno set when it cannot be read or does not fit
// in memory.
bool ReadFile(const char* path, seatbelt_sim::GrowingList<unsigned char>& bytes) {
  std::FILE* const file = std::fopen(path, "rb");
  if (file == nullptr) {
    return false;
  }
  // Byte by byte out of the C library's buffer, which reads the file in blocks.
  bool fits = true;
  int byte = 0;
  while (fits && (byte = std::fgetc(file)) != EOF) {
    fits = bytes.Append(static_cast<unsigned char>(byte));
  }
  const bool read_error = std::ferror(file) != 0;
  (void)std::fclose(file);
  if (!fits) {
    errno = ENOMEM;
  }
  return fits && !read_error;
}

int Run(const Arguments& arguments) {
  seatbelt_sim::GrowingList<unsigned char> bytes;
  if (!ReadFile(arguments.table_path, bytes)) {
    (void)std::fprintf(stderr, "%s: cannot read run table '%s': %s\n", kProgram,
                       arguments.table_path, std::strerror(errno));
    return kExitUsage;
  }
  seatbelt_sim::RunTable table;
  const char* const problem = table.Read(bytes.data(), bytes.size());
  if (problem != nullptr) {
    (void)std::fprintf(stderr, "%s: bad run table '%s': %s\n", kProgram, arguments.table_path,
                       problem);
    return kExitUsage;
  }

  (void)std::setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
  seatbelt_sim::RunObserver* observers[1] = {};
  std::size_t observer_count = 0u;
  if (table.csv_path() != nullptr) {
    if (!csv.Open(table.csv_path())) {
      csv.PrintError(stderr, kProgram);
      return kExitOutputFailed;
    }
    observers[observer_count++] = &csv;
  }

  const seatbelt_sim::RunSetup& run = table.setup();
  seatbelt_sim::RunRecord record(stdout);
  seatbelt_sim::ExpectationJudge judge;
  if (!judge.Start(run.expectations, run.expectation_count, run.ticks, run.name, stdout)) {
    (void)std::fprintf(stderr, "%s: out of memory for the expectations\n", kProgram);
    return kExitOutputFailed;
  }
  seatbelt_sim::RunSimulation(run, stdout, record, observers, observer_count, &judge);
  int status = seatbelt_sim::FinishRun(stdout, record, observers, observer_count,
                                       run.ticks * seatbelt_sim::kTickMs, kProgram, stderr, &judge);
  if (table.junit_path() != nullptr && !WriteJUnit(table.junit_path(), run, judge, status)) {
    (void)std::fprintf(stderr, "%s: cannot write '%s': %s\n", kProgram, table.junit_path(),
                       std::strerror(errno));
    status = kExitOutputFailed;
  }
  return status;
}

}  // namespace

int main() {
  Arguments arguments;
  if (!command_line.Read() || !ParseArguments(command_line, arguments)) {
    (void)std::fputs("usage: scenario_player [--stack] TABLE_FILE\n", stderr);
    return kExitUsage;
  }
  const int status = Run(arguments);
  if (arguments.report_stack) {
    (void)std::fprintf(stderr, "stack: %lu of %lu bytes used\n",
                       static_cast<unsigned long>(Board_StackUsed()),
                       static_cast<unsigned long>(Board_StackSize()));
  }
  return status;
}
