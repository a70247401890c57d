// The campaign's child processes.
#include "process_pool.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "system_text.h"

namespace seatbelt_test {
namespace {

using Clock = std::chrono::steady_clock;

struct Child {
  std::size_t index = 0u;
  pid_t pid = -1;
  int ended_fd = -1;  // reading end of a pipe the child never writes: it ends with the child
  int log_fd = -1;
  int result_fd = -1;
  Clock::time_point started;
  Clock::time_point deadline;
  bool killed = false;
};

// A file that no other process can find and that vanishes with its last descriptor: a file in
// memory, or where there is none, one in the temporary folder, unlinked at once.
int CreateScratchFile(const char* name, std::string& error) {
  const int in_memory = memfd_create(name, MFD_CLOEXEC);
  if (in_memory >= 0) {
    return in_memory;
  }
  std::string path = TempFolder() + "/" + name + ".XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd < 0) {
    error = "cannot create a file in " + TempFolder() + ": " + ErrorText(errno);
    return -1;
  }
  (void)unlink(path.c_str());
  (void)fcntl(fd, F_SETFD, FD_CLOEXEC);
  return fd;
}

// What has been written to fd, from its start.
std::string ReadWhole(int fd) {
  std::string text;
  char buffer[1u << 14u];
  off_t at = 0;
  for (;;) {
    const ssize_t got = pread(fd, buffer, sizeof buffer, at);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return text;
    }
    text.append(buffer, static_cast<std::size_t>(got));
    at += got;
  }
}

void CloseAll(std::initializer_list<int> fds) {
  for (const int fd : fds) {
    if (fd >= 0) {
      (void)close(fd);
    }
  }
}

void Fail(std::size_t index, const std::string& problem, const TaskDone& done) {
  ScenarioResult result;
  result.problem = problem;
  done(index, result, -1);
}

// Starts task index; false (after reporting it to done) when no child could be made.
bool Start(std::size_t index, const PoolSettings& settings, const ChildTask& task,
           const TaskDone& done, std::vector<Child>& running) {
  std::string error;
  const int log_fd = CreateScratchFile("seatbelt_test-log", error);
  const int result_fd = log_fd < 0 ? -1 : CreateScratchFile("seatbelt_test-result", error);
  int ended[2] = {-1, -1};
  if (result_fd >= 0 && pipe2(ended, O_CLOEXEC) != 0) {
    error = "cannot create a pipe: " + ErrorText(errno);
  }
  if (ended[0] < 0) {
    Fail(index, error, done);
    CloseAll({log_fd, result_fd});
    return false;
  }
  // What stdio holds would otherwise be written a second time by the child.
  (void)std::fflush(stdout);
  (void)std::fflush(stderr);
  const pid_t campaign = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // A group of its own, so that the time limit also stops what the task starts. Outside the
    // terminal's group a Ctrl-C reaches the campaign only, so the child ends with it instead.
    (void)setpgid(0, 0);
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != campaign) {
      _exit(127);
    }
    (void)close(ended[0]);
    (void)dup2(log_fd, STDOUT_FILENO);
    (void)dup2(log_fd, STDERR_FILENO);
    (void)close(log_fd);
    task(index, result_fd);
    _exit(127);
  }
  (void)close(ended[1]);
  if (pid < 0) {
    Fail(index, "cannot start a process: " + ErrorText(errno), done);
    CloseAll({ended[0], log_fd, result_fd});
    return false;
  }
  (void)setpgid(pid, pid);  // either side may come first
  Child child;
  child.index = index;
  child.pid = pid;
  child.ended_fd = ended[0];
  child.log_fd = log_fd;
  child.result_fd = result_fd;
  child.started = Clock::now();
  child.deadline = child.started + std::chrono::seconds(settings.time_limit_s);
  running.push_back(child);
  return true;
}

void Reap(const Child& child, const TaskDone& done) {
  int status = 0;
  while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
  }
  ScenarioResult result;
  const bool whole = DecodeResult(ReadWhole(child.result_fd), result);
  const double seconds = std::chrono::duration<double>(Clock::now() - child.started).count();
  if (child.killed) {
    result.kind = RunKind::kTimedOut;
  } else if (WIFSIGNALED(status)) {
    result.kind = RunKind::kCrashed;
    result.signal = WTERMSIG(status);
  } else if (!whole) {
    result.kind = RunKind::kNoResult;
    result.problem = "ended with status " + std::to_string(WEXITSTATUS(status)) +
                     " before its result was complete";
  }
  if (!whole || child.killed || WIFSIGNALED(status)) {
    result.seconds = seconds;
  }
  done(child.index, result, child.log_fd);
  CloseAll({child.log_fd, child.result_fd});
}

}  // namespace

void RunTasks(std::size_t count, const PoolSettings& settings, const ChildTask& task,
              const TaskDone& done) {
  std::vector<Child> running;
  std::size_t next = 0u;
  std::vector<pollfd> polled;
  while (next < count || !running.empty()) {
    while (running.size() < settings.jobs && next < count) {
      (void)Start(next, settings, task, done, running);
      ++next;
    }
    if (running.empty()) {
      continue;
    }
    Clock::time_point wake = Clock::time_point::max();
    polled.clear();
    for (const Child& child : running) {
      polled.push_back({child.ended_fd, POLLIN, 0});
      if (!child.killed) {
        wake = std::min(wake, child.deadline);
      }
    }
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now());
    const int wait_ms = wake == Clock::time_point::max()
                            ? -1
                            : static_cast<int>(std::clamp<long long>(wait.count() + 1, 0, 60000));
    if (poll(polled.data(), static_cast<nfds_t>(polled.size()), wait_ms) < 0 && errno != EINTR) {
      // Only a broken process gets here (no memory for the descriptors' table).
      (void)std::fprintf(stderr, "seatbelt_test: poll: %s\n", ErrorText(errno).c_str());
      _exit(1);
    }
    // A child's pipe reports its end once the child (and all it started) let go of it.
    const Clock::time_point now = Clock::now();
    for (std::size_t i = 0u; i < running.size(); ++i) {
      Child& child = running[i];
      if (polled[i].revents != 0) {
        (void)close(child.ended_fd);
        child.ended_fd = -1;
      } else if (!child.killed && now >= child.deadline) {
        (void)kill(-child.pid, SIGKILL);
        (void)kill(child.pid, SIGKILL);
        child.killed = true;
      }
    }
    for (auto it = running.begin(); it != running.end();) {
      if (it->ended_fd < 0) {
        Reap(*it, done);
        it = running.erase(it);
      } else {
        ++it;
      }
    }
  }
}

}  // namespace seatbelt_test
