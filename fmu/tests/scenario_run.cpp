// Scenario runs against seatbelt_sim's record.
#include "scenario_run.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

#include "signal_log.h"

namespace fmu_test {
namespace {

constexpr std::uint32_t kNeverReceived = 0x84u;

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    lines.push_back(line);
  }
  return lines;
}

const char* InputVariable(seatbelt_sim::Input input) {
  switch (input) {
    case seatbelt_sim::Input::kLatch:
      return "latch_raw";
    case seatbelt_sim::Input::kOccupancy:
      return "occupancy_raw";
    case seatbelt_sim::Input::kSpeed:
      return "speed_raw";
    case seatbelt_sim::Input::kDoor:
      return "door_raw";
    case seatbelt_sim::Input::kIgnition:
      return "ignition_raw";
    case seatbelt_sim::Input::kNote:
      break;
  }
  return nullptr;
}

std::int64_t Micros(double seconds) {
  return std::llround(seconds * 1e6);
}

}  // namespace

Reference ReadReference(const std::string& csv_path, const std::string& output_path) {
  Reference reference;
  const std::vector<std::string> csv = ReadLines(csv_path);
  if (csv.size() < 2u) {
    throw std::runtime_error("no rows in " + csv_path);
  }
  for (std::size_t line = 1u; line < csv.size(); ++line) {
    std::array<std::uint32_t, 17> row{};
    std::string field;
    std::istringstream fields(csv[line]);
    for (std::size_t column = 0u; std::getline(fields, field, ','); ++column) {
      if (column == 0u) {
        field.erase(field.find('.'), 1u);  // seconds with three decimals -> ms
      }
      row.at(column) = static_cast<std::uint32_t>(std::stoul(field));
    }
    reference.rows.push_back(row);
  }
  std::array<bool, 2> stuck{};
  std::size_t row = 0u;
  for (const std::string& text : ReadLines(output_path)) {
    if (text.rfind("[TIME", 0u) == 0u) {
      reference.trace.push_back(text);
      continue;
    }
    unsigned time_ms = 0u;
    unsigned event = 0u;
    char status[16] = {};
    // The summary lists the reports again, indented: only the lines as they happen count.
    if (text.rfind("[SIM] t=", 0u) == 0u &&
        std::sscanf(text.c_str(), "[SIM] t=%u ms: diagnostic event 0x%x %*s %15s", &time_ms, &event,
                    status) == 3) {
      reference.diagnostics.push_back(text.substr(6u));
      for (; row < reference.rows.size() && reference.rows[row][0] < time_ms; ++row) {
        reference.stuck.push_back(stuck);
      }
      stuck[event == 0x1001u ? 0u : 1u] = std::string(status) == "FAILED";
    }
  }
  for (; row < reference.rows.size(); ++row) {
    reference.stuck.push_back(stuck);
  }
  return reference;
}

ScenarioRun::ScenarioRun(const Fmu& fmu, const seatbelt_sim::Scenario& scenario,
                         const Reference& reference, std::string name, bool logging_on)
    : fmu_(fmu),
      scenario_(scenario),
      reference_(reference),
      name_(std::move(name)),
      logging_on_(logging_on) {}

bool ScenarioRun::Fail(const std::string& what) {
  if (failure_.empty()) {
    failure_ = name_ + ": " + what;
  }
  return false;
}

bool ScenarioRun::Start() {
  slave_ = Slave::Create(fmu_);
  if (!slave_->Instantiate(name_, logging_on_)) {
    return Fail("instantiation refused");
  }
  return Initialize();
}

bool ScenarioRun::Restart() {
  if (slave_->Reset() != 0) {
    return Fail("reset failed");
  }
  slave_->log.clear();
  return Initialize();
}

bool ScenarioRun::Initialize() {
  next_stimulus_ = 0u;
  tick_ = 0u;
  now_s_ = 0.0;
  const seatbelt_sim::CalibrationOverrides& calibration = scenario_.calibration;
  const std::pair<const char*, const std::optional<uint16>*> parameters[] = {
      {"latch_debounce_ms", &calibration.latch_debounce_ms},
      {"unlatch_debounce_ms", &calibration.unlatch_debounce_ms},
      {"occ_debounce_ms", &calibration.occ_debounce_ms},
      {"speed_threshold", &calibration.speed_threshold},
      {"door_grace_ms", &calibration.door_grace_ms}};
  for (const auto& [name, value] : parameters) {
    if (value->has_value() && slave_->Set(name, **value) != 0) {
      return Fail(std::string("cannot set ") + name);
    }
  }
  if (slave_->EnterInitialization() != 0 || slave_->ExitInitialization() != 0) {
    return Fail("initialization failed");
  }
  return CheckOutputs();
}

std::uint32_t ScenarioRun::NextStimulusMs() const {
  for (std::size_t i = next_stimulus_; i < scenario_.stimuli.size(); ++i) {
    if (scenario_.stimuli[i].input != seatbelt_sim::Input::kNote) {
      return scenario_.stimuli[i].time_ms;
    }
  }
  return UINT32_MAX;
}

bool ScenarioRun::StepBy(double step_s) {
  // A stimulus at T acts from the first tick at or after T.
  const auto next_tick_ms = static_cast<std::uint32_t>((tick_ + 1u) * 10u);
  const std::vector<seatbelt_sim::ParsedStimulus>& stimuli = scenario_.stimuli;
  for (; next_stimulus_ < stimuli.size() && stimuli[next_stimulus_].time_ms <= next_tick_ms;
       ++next_stimulus_) {
    const char* const input = InputVariable(stimuli[next_stimulus_].input);
    if (input != nullptr && slave_->Set(input, stimuli[next_stimulus_].value) != 0) {
      return Fail(std::string("cannot set ") + input);
    }
  }
  const std::int64_t end_us = Micros(now_s_ + step_s);
  const auto ticks = static_cast<std::size_t>(end_us / 10000);
  if (ticks > tick_ + 1u && NextStimulusMs() <= ticks * 10u) {
    return Fail("the test's step passes a stimulus");
  }
  if (slave_->DoStep(now_s_, step_s) != 0) {
    return Fail("step from " + std::to_string(now_s_) + " s failed");
  }
  now_s_ += step_s;
  tick_ = ticks < reference_.rows.size() ? ticks : reference_.rows.size();
  return CheckOutputs();
}

bool ScenarioRun::RunToEnd() {
  while (!Finished()) {
    if (!StepBy(0.01)) {
      return false;
    }
  }
  return true;
}

bool ScenarioRun::Take(Mark& mark) {
  if (slave_->GetState(mark.state) != 0) {
    return Fail("cannot get the FMU state after tick " + std::to_string(tick_));
  }
  mark.next_stimulus = next_stimulus_;
  mark.tick = tick_;
  mark.now_s = now_s_;
  mark.log_size = slave_->log.size();
  return true;
}

bool ScenarioRun::GoBack(const Mark& mark, const ScenarioRun* taken_by) {
  if (slave_->SetState(mark.state) != 0) {
    return Fail("cannot set the FMU state of tick " + std::to_string(mark.tick));
  }
  std::vector<LogEntry>& log = slave_->log;
  if (taken_by != nullptr) {
    const std::vector<LogEntry>& before = taken_by->slave_->log;
    log.assign(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(mark.log_size));
  } else {
    log.resize(mark.log_size);
  }
  next_stimulus_ = mark.next_stimulus;
  tick_ = mark.tick;
  now_s_ = mark.now_s;
  return CheckOutputs();
}

bool ScenarioRun::RunWithRollbacks() {
  Mark start;
  Mark mark;
  if (!Take(start)) {
    return false;
  }
  while (!Finished()) {
    if (!Take(mark)) {
      return false;
    }
    for (int tick = 0; tick < 150 && !Finished(); ++tick) {
      if (!StepBy(0.01)) {
        return false;
      }
    }
    // Away from the scenario: every input changed, 12.34 s in one step.
    const bool away = slave_->Set("latch_raw", 0u) == 0 && slave_->Set("speed_raw", 200u) == 0 &&
                      slave_->Set("door_raw", 0u) == 0 && slave_->Set("occupancy_raw", 1u) == 0 &&
                      slave_->Set("ignition_raw", 1u) == 0 && slave_->DoStep(now_s_, 12.34) == 0;
    if (!away || !GoBack(mark)) {
      return Fail("cannot drive the instance away and back after tick " + std::to_string(tick_));
    }
    for (int tick = 0; tick < 250 && !Finished(); ++tick) {
      if (!StepBy(0.01)) {
        return false;
      }
    }
  }
  return GoBack(start) && RunToEnd();
}

bool ScenarioRun::CheckOutputs() {
  const auto& names = seatbelt_sim::kSignalInfo;
  for (std::size_t column = 0u; column < names.size(); ++column) {
    std::uint32_t value = 0u;
    if (slave_->Get(names[column].name, value) != 0) {
      return Fail(std::string("cannot get ") + names[column].name);
    }
    std::uint32_t expected = 0u;
    if (tick_ > 0u) {
      expected = reference_.rows[tick_ - 1u][column + 1u];
    } else if (column < seatbelt_sim::kLatchFiltered) {
      expected = slave_->Value(names[column].name);  // inputs as set
    } else {
      // Before the first tick: what the runtime layer gives before any update.
      const bool status = std::string(names[column].name).find("_status") != std::string::npos;
      expected = status ? kNeverReceived : 0u;
    }
    if (value != expected) {
      return Fail(std::string(names[column].name) + " after tick " + std::to_string(tick_) +
                  ": expected " + std::to_string(expected) + ", got " + std::to_string(value));
    }
  }
  const std::array<bool, 2> stuck =
      tick_ > 0u ? reference_.stuck[tick_ - 1u] : std::array<bool, 2>{};
  if (slave_->Value("latch_stuck") != (stuck[0] ? 1u : 0u) ||
      slave_->Value("speed_stuck") != (stuck[1] ? 1u : 0u)) {
    return Fail("stuck flags after tick " + std::to_string(tick_));
  }
  return true;
}

bool ScenarioRun::LogMatches() {
  std::vector<std::string> trace;
  std::vector<std::string> diagnostics;
  for (const LogEntry& entry : slave_->log) {
    if (entry.category == "trace") {
      trace.push_back(entry.message);
    } else if (entry.category == "diagnostic") {
      // FMI 3.0 messages start with the instance name.
      const std::string prefix = name_ + ": ";
      diagnostics.push_back(entry.message.rfind(prefix, 0u) == 0u
                                ? entry.message.substr(prefix.size())
                                : entry.message);
    } else {
      return Fail("unexpected message: " + entry.message);
    }
  }
  if (!logging_on_) {
    return trace.empty() && diagnostics.empty() ? true : Fail("logged with logging off");
  }
  if (trace != reference_.trace) {
    return Fail("trace lines differ from seatbelt_sim's (" + std::to_string(trace.size()) +
                " lines, expected " + std::to_string(reference_.trace.size()) + ")");
  }
  if (diagnostics != reference_.diagnostics) {
    return Fail("diagnostic messages differ from seatbelt_sim's");
  }
  return true;
}

bool RunInterleaved(std::vector<ScenarioRun>& runs, bool restart) {
  bool ok = true;
  for (ScenarioRun& run : runs) {
    ok = ok && (restart ? run.Restart() : run.Start());
  }
  for (bool stepped = true; ok && stepped;) {
    stepped = false;
    for (ScenarioRun& run : runs) {
      if (ok && !run.Finished()) {
        ok = run.StepBy(0.01);
        stepped = true;
      }
    }
  }
  return ok;
}

void RunOnThreads(std::vector<ScenarioRun>& runs, bool rollbacks) {
  std::vector<std::thread> threads;
  for (ScenarioRun& run : runs) {
    threads.emplace_back([&run, rollbacks] {
      (void)(run.Start() && (rollbacks ? run.RunWithRollbacks() : run.RunToEnd()) &&
             run.LogMatches());
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
}

}  // namespace fmu_test
