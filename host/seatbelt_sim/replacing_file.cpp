// Output files written whole: a temporary file beside the destination, renamed over it.
#include "replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

namespace seatbelt_sim {
namespace {

std::string Failure(const char* what, const std::string& path, int error_number) {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): single-threaded host
  return std::string(what) + " '" + path + "': " + std::strerror(error_number);
}

// The name that symbolic links at path lead to (a link is followed even when its target does not
// exist yet, as opening it for writing would), or path itself.
std::string FollowLinks(std::string path) {
  constexpr int kMaxLinks = 40;  // as the kernel follows at most
  for (int link = 0; link < kMaxLinks; ++link) {
    struct stat status {};
    char target[PATH_MAX];
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
      break;
    }
    const ssize_t length = readlink(path.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) {
      break;
    }
    std::string next(target, static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    if (next[0] != '/' && slash != std::string::npos) {
      next.insert(0u, path, 0u, slash + 1u);  // relative to the link's folder
    }
    path = std::move(next);
  }
  return path;
}

int LastError() {
  return errno != 0 ? errno : EIO;
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) {
    (void)close(fd_);
  }
  if (!temp_.empty()) {
    (void)unlink(temp_.c_str());
  }
}

bool ReplacingFile::Open(const std::string& path, std::string& error) {
  path_ = path;
  struct stat existing {};
  if (stat(path.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) {
      error = Failure("cannot create", path, EISDIR);
      return false;
    }
    // A file we could not open for writing is not replaced behind its owner's back either.
    fd_ = open(path.c_str(), O_WRONLY | O_CLOEXEC | (S_ISREG(existing.st_mode) ? 0 : O_TRUNC));
    if (fd_ < 0) {
      error = Failure("cannot create", path, errno);
      return false;
    }
    if (!S_ISREG(existing.st_mode)) {
      return true;
    }
    (void)close(fd_);
    fd_ = -1;
  }
  target_ = FollowLinks(path);
  const std::size_t slash = target_.rfind('/');
  const std::size_t base = slash == std::string::npos ? 0u : slash + 1u;
  // Hidden and with a suffix no tool takes for a picture: ".run.svg.AbC123" beside "run.svg".
  std::string name = target_.substr(0u, base) + "." + target_.substr(base) + ".XXXXXX";
  fd_ = mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) {
    error = Failure("cannot create", path, errno);
    return false;
  }
  temp_ = name;
  // mkostemp makes the file private; the finished file gets the mode any new file gets.
  const mode_t mask = umask(0);
  (void)umask(mask);
  (void)fchmod(fd_, static_cast<mode_t>(0666) & ~mask);
  return true;
}

bool ReplacingFile::Commit(std::string_view text, std::string& error) {
  int failure = WriteAll(fd_, text) ? 0 : LastError();
  if (failure == 0 && !temp_.empty() && fsync(fd_) != 0) {
    failure = LastError();
  }
  if (close(fd_) != 0 && failure == 0) {
    failure = LastError();
  }
  fd_ = -1;
  if (failure == 0 && !temp_.empty()) {
    if (rename(temp_.c_str(), target_.c_str()) == 0) {
      temp_.clear();
    } else {
      failure = LastError();
    }
  }
  if (failure != 0) {
    error = Failure("cannot write", path_, failure);
    return false;
  }
  return true;
}

}  // namespace seatbelt_sim
