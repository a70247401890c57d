// Runs numbered tasks in worker processes, up to a number at a time. Each worker is forked
// without exec from the campaign, before it has run any task, and then runs tasks one after
// the other as the campaign hands them over a socket of its own; with reuse off, it ends after
// its first. A worker's standard output and standard error go to a log file and its result
// record to another, both files in memory made by the campaign and emptied by the worker before
// each task, so a worker never waits for the campaign to read. A worker that dies is replaced
// by a new one for the next task; one still running a task after the time limit is killed with
// its process group. The pool is single-threaded: it waits in poll() for the workers' reports
// (a byte per finished task, or the end of the socket when a worker ends) and the next
// deadline, and hands each finished task to the caller, in the order they finish.
#ifndef HOST_SEATBELT_TEST_PROCESS_POOL_H
#define HOST_SEATBELT_TEST_PROCESS_POOL_H

#include <cstddef>
#include <functional>

#include "scenario_result.h"

namespace seatbelt_test {

struct PoolSettings {
  unsigned jobs = 1u;          // workers at a time, at least 1
  unsigned time_limit_s = 60;  // per task, from when the worker is handed it
  bool reuse_workers = true;   // else a process per task
};

// Runs in a worker for task index, with the result file open for writing; standard output and
// standard error are the task's log. Both files are empty and at offset 0. Returns once the
// task is done (or ends the process).
using ChildTask = std::function<void(std::size_t index, int result_fd)>;
// Receives the result of task index once its worker has finished it or ended, and its log,
// readable from offset 0 (the pool keeps it). The kind is kCrashed for a worker ended by a
// signal, kTimedOut for one killed at the time limit, kNoResult (with the problem) for one that
// ended without a whole record; seconds is then the task's wall time.
using TaskDone = std::function<void(std::size_t index, ScenarioResult& result, int log_fd)>;

void RunTasks(std::size_t count, const PoolSettings& settings, const ChildTask& task,
              const TaskDone& done);

}  // namespace seatbelt_test

#endif  // HOST_SEATBELT_TEST_PROCESS_POOL_H
