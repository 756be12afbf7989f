// Writing a full report buffer on a thread of its own while the run fills the
// next one: the system's work of storing the report overlaps the building of
// its lines.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace wsphere {

// Writes all of `bytes` to `fd`, retrying interrupted and partial writes;
// false when the system reports a failure.
bool write_all(int fd, std::string_view bytes);

class BackgroundWriter {
 public:
  // Starts the thread with the console interrupts blocked in it: the run's own
  // thread records them. (A broken pipe still ends the program as before.)
  explicit BackgroundWriter(int fd);
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;
  // Waits for the write in progress and ends the thread.
  ~BackgroundWriter();

  // Waits for the previous write, then starts writing the first `size` bytes
  // of `bytes`, which is exchanged for the buffer of that write. False, and
  // nothing is started, when a write has failed.
  bool hand_over(std::vector<char>& bytes, std::size_t size);
  // Waits for the write in progress; false when a write has failed.
  bool finish();

 private:
  void write_each_buffer();
  void wait_idle(std::unique_lock<std::mutex>& lock);

  const int fd_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<char> pending_;  // the buffer being written
  std::size_t pending_size_ = 0;
  bool busy_ = false;          // pending_ is being written
  bool stopping_ = false;
  bool failed_ = false;
  std::thread thread_;         // last: starts once the members above exist
};

}  // namespace wsphere
