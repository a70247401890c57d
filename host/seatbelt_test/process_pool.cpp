// The campaign's worker processes.
#include "process_pool.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "system_text.h"

namespace seatbelt_test {
namespace {

using Clock = std::chrono::steady_clock;

// A worker process and the task it runs, if any.
struct Worker {
  pid_t pid = -1;
  int channel = -1;  // the campaign's end of a socket pair: tasks out, a byte per task back
  int log_fd = -1;
  int result_fd = -1;
  bool busy = false;
  std::size_t index = 0u;
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

// Reads size bytes, false at the end of the stream or on an error.
bool ReceiveAll(int fd, void* data, std::size_t size) {
  auto* const bytes = static_cast<unsigned char*>(data);
  std::size_t got = 0u;
  while (got < size) {
    const ssize_t part = recv(fd, bytes + got, size - got, 0);
    if (part < 0 && errno == EINTR) {
      continue;
    }
    if (part <= 0) {
      return false;
    }
    got += static_cast<std::size_t>(part);
  }
  return true;
}

// Empties a file and puts its offset back to its start.
void Empty(int fd) {
  (void)ftruncate(fd, 0);
  (void)lseek(fd, 0, SEEK_SET);
}

// The worker's life: a task at a time until the campaign closes its end of the channel.
[[noreturn]] void WorkerLoop(int channel, int result_fd, bool reuse, const ChildTask& task) {
  for (;;) {
    std::uint64_t index = 0u;
    if (!ReceiveAll(channel, &index, sizeof index)) {
      _exit(0);
    }
    // Standard output and standard error share the log's file offset.
    Empty(STDOUT_FILENO);
    Empty(result_fd);
    std::clearerr(stdout);
    std::clearerr(stderr);
    task(static_cast<std::size_t>(index), result_fd);
    (void)std::fflush(stdout);
    (void)std::fflush(stderr);
    const char finished = 1;
    if (!reuse || send(channel, &finished, 1u, MSG_NOSIGNAL) != 1) {
      _exit(0);
    }
  }
}

// Starts a worker; false, with error set, when none could be made.
bool StartWorker(const PoolSettings& settings, const ChildTask& task,
                 const std::vector<Worker>& others, Worker& worker, std::string& error) {
  const int log_fd = CreateScratchFile("seatbelt_test-log", error);
  const int result_fd = log_fd < 0 ? -1 : CreateScratchFile("seatbelt_test-result", error);
  int channel[2] = {-1, -1};
  if (result_fd >= 0 && socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, channel) != 0) {
    error = "cannot create a socket pair: " + ErrorText(errno);
  }
  if (channel[0] < 0) {
    CloseAll({log_fd, result_fd});
    return false;
  }
  // What stdio holds would otherwise be written a second time by the worker.
  (void)std::fflush(stdout);
  (void)std::fflush(stderr);
  const pid_t campaign = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // A group of its own, so that the time limit also stops what the task starts. Outside the
    // terminal's group a Ctrl-C reaches the campaign only, so the worker ends with it instead.
    (void)setpgid(0, 0);
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != campaign) {
      _exit(127);
    }
    // The other workers' channels stay open only in the campaign, so that each worker sees the
    // end of its own when the campaign closes it.
    for (const Worker& other : others) {
      CloseAll({other.channel, other.log_fd, other.result_fd});
    }
    (void)close(channel[0]);
    (void)dup2(log_fd, STDOUT_FILENO);
    (void)dup2(log_fd, STDERR_FILENO);
    (void)close(log_fd);
    WorkerLoop(channel[1], result_fd, settings.reuse_workers, task);
  }
  (void)close(channel[1]);
  if (pid < 0) {
    error = "cannot start a process: " + ErrorText(errno);
    CloseAll({channel[0], log_fd, result_fd});
    return false;
  }
  (void)setpgid(pid, pid);  // either side may come first
  worker = Worker();
  worker.pid = pid;
  worker.channel = channel[0];
  worker.log_fd = log_fd;
  worker.result_fd = result_fd;
  return true;
}

// Hands task index to an idle worker.
void Hand(Worker& worker, std::size_t index, const PoolSettings& settings) {
  worker.busy = true;
  worker.killed = false;
  worker.index = index;
  worker.started = Clock::now();
  worker.deadline = worker.started + std::chrono::seconds(settings.time_limit_s);
  const std::uint64_t message = index;
  // A worker that has died meanwhile is found at the end of its channel.
  (void)send(worker.channel, &message, sizeof message, MSG_NOSIGNAL);
}

// The task of a worker that reported it finished.
void Collect(Worker& worker, const TaskDone& done) {
  ScenarioResult result;
  if (!DecodeResult(ReadWhole(worker.result_fd), result)) {
    result.kind = RunKind::kNoResult;
    result.problem = "finished without a complete result";
    result.seconds = std::chrono::duration<double>(Clock::now() - worker.started).count();
  }
  worker.busy = false;
  done(worker.index, result, worker.log_fd);
}

// A worker that has ended, and the task it was running, if any.
void Reap(const Worker& worker, const TaskDone& done) {
  int status = 0;
  while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (worker.busy) {
    ScenarioResult result;
    const bool whole = DecodeResult(ReadWhole(worker.result_fd), result);
    const double seconds = std::chrono::duration<double>(Clock::now() - worker.started).count();
    if (worker.killed) {
      result.kind = RunKind::kTimedOut;
    } else if (WIFSIGNALED(status)) {
      result.kind = RunKind::kCrashed;
      result.signal = WTERMSIG(status);
    } else if (!whole) {
      result.kind = RunKind::kNoResult;
      result.problem = "ended with status " + std::to_string(WEXITSTATUS(status)) +
                       " before its result was complete";
    }
    if (!whole || worker.killed || WIFSIGNALED(status)) {
      result.seconds = seconds;
    }
    done(worker.index, result, worker.log_fd);
  }
  CloseAll({worker.channel, worker.log_fd, worker.result_fd});
}

}  // namespace

void RunTasks(std::size_t count, const PoolSettings& settings, const ChildTask& task,
              const TaskDone& done) {
  std::vector<Worker> workers;
  std::size_t next = 0u;
  std::vector<pollfd> polled;
  const auto busy = [&workers] {
    return std::any_of(workers.begin(), workers.end(), [](const Worker& w) { return w.busy; });
  };
  while (next < count || busy()) {
    for (Worker& worker : workers) {
      if (!worker.busy && next < count) {
        Hand(worker, next, settings);
        ++next;
      }
    }
    while (workers.size() < settings.jobs && next < count) {
      Worker worker;
      std::string error;
      if (!StartWorker(settings, task, workers, worker, error)) {
        Fail(next, error, done);
      } else {
        Hand(worker, next, settings);
        workers.push_back(worker);
      }
      ++next;
    }
    if (!busy()) {
      continue;
    }
    Clock::time_point wake = Clock::time_point::max();
    polled.clear();
    for (const Worker& worker : workers) {
      polled.push_back({worker.channel, POLLIN, 0});
      if (worker.busy && !worker.killed) {
        wake = std::min(wake, worker.deadline);
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
    // A worker's channel reports a finished task with a byte, and the worker's end (and that
    // of all it started) with the end of the stream.
    const Clock::time_point now = Clock::now();
    std::vector<bool> ended(workers.size(), false);
    for (std::size_t i = 0u; i < workers.size(); ++i) {
      Worker& worker = workers[i];
      if (polled[i].revents != 0) {
        char finished = 0;
        ssize_t got = -1;
        do {
          got = recv(worker.channel, &finished, 1u, MSG_DONTWAIT);
        } while (got < 0 && errno == EINTR);
        if (got == 1 && worker.busy) {
          Collect(worker, done);
        } else if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
          ended[i] = true;
        }
      } else if (worker.busy && !worker.killed && now >= worker.deadline) {
        (void)kill(-worker.pid, SIGKILL);
        (void)kill(worker.pid, SIGKILL);
        worker.killed = true;
      }
    }
    for (std::size_t i = workers.size(); i-- > 0u;) {
      if (ended[i]) {
        Reap(workers[i], done);
        workers.erase(workers.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
  }
  // Idle workers end when their channel does.
  for (Worker& worker : workers) {
    (void)close(worker.channel);
    worker.channel = -1;
  }
  for (const Worker& worker : workers) {
    Reap(worker, done);
  }
}

}  // namespace seatbelt_test
