// Runs numbered tasks in child processes, up to a number at a time: each child is forked
// without exec, with its standard output and standard error going to a log file of its own and
// its result record to another; both are files in memory, so a child never waits for the
// campaign to read. A child still running after the time limit is killed with its process
// group. The pool is single-threaded: it waits in poll() for the children's ends (a pipe that
// each child holds open and never writes) and the next deadline, so it wakes once per child,
// and hands each finished task to the caller, in the order they finish.
#ifndef HOST_SEATBELT_TEST_PROCESS_POOL_H
#define HOST_SEATBELT_TEST_PROCESS_POOL_H

#include <cstddef>
#include <functional>

#include "scenario_result.h"

namespace seatbelt_test {

struct PoolSettings {
  unsigned jobs = 1u;          // children at a time, at least 1
  unsigned time_limit_s = 60;  // per child, from its start
};

// Runs in the child for task index with the result file open for writing; must end the
// process.
using ChildTask = std::function<void(std::size_t index, int result_fd)>;
// Receives the result of task index once its child has ended, and its log, readable from
// offset 0 (the pool closes it afterwards). The kind is kCrashed for a child ended by a signal,
// kTimedOut for one killed at the time limit, kNoResult (with the problem) for one that ended
// without a whole record; seconds is then the child's wall time.
using TaskDone = std::function<void(std::size_t index, ScenarioResult& result, int log_fd)>;

void RunTasks(std::size_t count, const PoolSettings& settings, const ChildTask& task,
              const TaskDone& done);

}  // namespace seatbelt_test

#endif  // HOST_SEATBELT_TEST_PROCESS_POOL_H
