// Runs a command several times in a directory and prints the fastest and the
// median wall time of one run, from the start of the process to its end.
//   wsphere_time_runs LABEL RUNS DIRECTORY [>FILE] PROGRAM [ARGUMENT...]
// With >FILE the standard output of the program goes to FILE, replaced by each
// run, as a shell does for  PROGRAM > FILE.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

// One run; returns its wall time in milliseconds, or a negative value on failure.
double time_one(const std::string& directory, const std::string& output, char** argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  if (!output.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return -1.0;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1.0;
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::milli>(end - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: wsphere_time_runs LABEL RUNS DIRECTORY [>FILE] PROGRAM [ARGUMENT...]\n");
    return 2;
  }
  const std::string label = argv[1];
  const int runs = std::max(1, std::atoi(argv[2]));
  const std::string directory = argv[3];
  int first = 4;
  std::string output;
  if (argv[first][0] == '>') output = argv[first++] + 1;
  if (first >= argc) return 2;
  std::vector<double> times;
  for (int k = 0; k < runs; ++k) {
    const double ms = time_one(directory, output, argv + first);
    if (ms < 0.0) {
      std::fprintf(stderr, "wsphere_time_runs: %s failed\n", argv[first]);
      return 1;
    }
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  std::printf("%-36s min %8.3f ms   median %8.3f ms   (%d runs)\n", label.c_str(), times.front(),
              times[times.size() / 2], runs);
  return 0;
}
