// main() of the benchmark programs whose code under test prints to standard output (the warning
// logic's trace line, the race log's init line, a simulation's log). Standard output goes to
// /dev/null, fully buffered in 64 KiB blocks as seatbelt_sim buffers it, so a printing tick
// costs its formatting and not a terminal; the report goes to the original standard output.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <streambuf>

namespace {

constexpr std::size_t kStdoutBufferBytes = 1u << 16u;

// Unbuffered stream buffer over a file descriptor; the report is small.
class FdStreamBuf : public std::streambuf {
 public:
  explicit FdStreamBuf(int fd) : fd_(fd) {}

 protected:
  int_type overflow(int_type ch) override {
    if (traits_type::eq_int_type(ch, traits_type::eof())) {
      return traits_type::not_eof(ch);
    }
    const char c = traits_type::to_char_type(ch);
    return WriteAll(&c, 1u) ? ch : traits_type::eof();
  }

  std::streamsize xsputn(const char* data, std::streamsize size) override {
    return WriteAll(data, static_cast<std::size_t>(size)) ? size : 0;
  }

 private:
  bool WriteAll(const char* data, std::size_t size) const {
    while (size > 0u) {
      const ssize_t written = write(fd_, data, size);
      if (written < 0) {
        if (errno == EINTR) {
          continue;
        }
        return false;
      }
      data += written;
      size -= static_cast<std::size_t>(written);
    }
    return true;
  }

  int fd_;
};

}  // namespace

int main(int argc, char** argv) {
  // Before the redirection, so that --help still shows.
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }

  (void)std::fflush(stdout);
  const int report_fd = dup(STDOUT_FILENO);
  if (report_fd < 0 || std::freopen("/dev/null", "w", stdout) == nullptr) {
    std::perror("benchmark: cannot send standard output to /dev/null");
    return 1;
  }
  (void)std::setvbuf(stdout, nullptr, _IOFBF, kStdoutBufferBytes);

  FdStreamBuf report_buffer(report_fd);
  std::ostream report(&report_buffer);
  benchmark::ConsoleReporter reporter(isatty(report_fd) != 0
                                          ? benchmark::ConsoleReporter::OO_ColorTabular
                                          : benchmark::ConsoleReporter::OO_Tabular);
  reporter.SetOutputStream(&report);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  (void)close(report_fd);
  return 0;
}
