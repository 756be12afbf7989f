#include "e2e_support.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace wsphere::testing {

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "wsphere-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = fs::canonical(pattern);
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void write_file(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

namespace {

std::string drain(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      return text;
    }
  }
}

// A path longer than the system takes in one call is entered a component at a
// time, so that tests can run the program in a directory of any depth.
bool change_directory(const fs::path& directory) {
  if (::chdir(directory.c_str()) == 0) return true;
  if (errno != ENAMETOOLONG) return false;
  for (const fs::path& part : directory) {
    if (::chdir(part.c_str()) != 0) return false;
  }
  return true;
}

}  // namespace

Process::Process(const fs::path& directory, int run_as_user, std::size_t memory_limit) {
  int err_pipe[2];
  int out_pipe[2];
  if (::pipe(err_pipe) != 0 || ::pipe(out_pipe) != 0) throw std::runtime_error("pipe failed");
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::dup2(err_pipe[1], STDERR_FILENO);
    ::dup2(out_pipe[1], STDOUT_FILENO);
    const int null_fd = ::open("/dev/null", O_RDONLY);
    ::dup2(null_fd, STDIN_FILENO);
    if (run_as_user >= 0 && (::setgid(run_as_user) != 0 || ::setuid(run_as_user) != 0)) ::_exit(125);
    if (!change_directory(directory)) ::_exit(126);
    const rlimit limit{memory_limit, memory_limit};
    if (memory_limit > 0 && ::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(125);
    ::execl(WSPHERE_BINARY, "wsphere", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(err_pipe[1]);
  ::close(out_pipe[1]);
  err_fd_ = err_pipe[0];
  out_fd_ = out_pipe[0];
}

Process::~Process() {
  if (!waited_) static_cast<void>(wait());
}

Outcome Process::wait() {
  Outcome outcome;
  // Both streams are small; reading standard error first cannot block the child.
  outcome.err = drain(err_fd_);
  outcome.out = drain(out_fd_);
  ::close(err_fd_);
  ::close(out_fd_);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  waited_ = true;
  if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.status = 128 + WTERMSIG(status);
  return outcome;
}

Outcome run_wsphere(const fs::path& directory) { return Process(directory).wait(); }

std::string file_message(int number, std::string_view text, int unit, const fs::path& file) {
  std::string line = "runerr: severe (" + std::to_string(number) + "): ";
  line += text;
  line += ", unit " + std::to_string(unit) + ", file " + file.string() + "\n";
  return line;
}

std::string large_report_input() {
  std::string text = read_file(fs::path(WSPHERE_EXAMPLES) / "kyanite/input.txt");
  const std::size_t radius = text.find("5.000   radius");
  if (radius == std::string::npos) throw std::runtime_error("kyanite example without its radius line");
  text.replace(radius, 5, "8.000");
  return text;
}

}  // namespace wsphere::testing
