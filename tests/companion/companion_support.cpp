#include "companion_support.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <sstream>
#include <stdexcept>

#include "companion/companion.hpp"

namespace wsphere::companion::testing {

Result run_in_process(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  Result result;
  result.status = run_companion(args, out, err);
  result.out = out.str();
  result.err = err.str();
  return result;
}

Result run_binary(const fs::path& directory, const std::vector<std::string>& args) {
  const fs::path out_file = directory / ".stdout";
  const fs::path err_file = directory / ".stderr";
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int out_fd = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err_fd = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out_fd, STDOUT_FILENO);
    ::dup2(err_fd, STDERR_FILENO);
    if (::chdir(directory.c_str()) != 0) ::_exit(126);
    std::vector<char*> argv{const_cast<char*>("wsphere-input")};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(WSPHERE_INPUT_BINARY, argv.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  Result result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = read_file(out_file);
  result.err = read_file(err_file);
  fs::remove(out_file);
  fs::remove(err_file);
  return result;
}

double largest_coordinate_difference(const std::vector<Atom>& a, const std::vector<Atom>& b) {
  double largest = 0.0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    for (int k = 0; k < 3; ++k) {
      const double d = a[i].frac[k] - b[i].frac[k];
      largest = std::max(largest, std::fabs(d - std::round(d)));
    }
  }
  return largest;
}

}  // namespace wsphere::companion::testing
