#include "driver/background_writer.hpp"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "driver/interrupt.hpp"

namespace wsphere {

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

BackgroundWriter::BackgroundWriter(int fd) : fd_(fd) {
  const sigset_t interrupts = interrupt_signals();
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &interrupts, &previous);  // the new thread inherits the mask
  try {
    thread_ = std::thread([this] { write_each_buffer(); });
  } catch (...) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    throw;
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

BackgroundWriter::~BackgroundWriter() {
  {
    std::unique_lock lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();  // after the write in progress
}

void BackgroundWriter::write_each_buffer() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return busy_ || stopping_; });
    if (!busy_) return;
    lock.unlock();
    const bool written = write_all(fd_, {pending_.data(), pending_size_});
    lock.lock();
    if (!written) failed_ = true;
    busy_ = false;
    changed_.notify_all();
  }
}

void BackgroundWriter::wait_idle(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [this] { return !busy_; });
}

bool BackgroundWriter::hand_over(std::vector<char>& bytes, std::size_t size) {
  {
    std::unique_lock lock(mutex_);
    wait_idle(lock);
    if (failed_) return false;
    pending_.swap(bytes);
    pending_size_ = size;
    busy_ = true;
  }
  changed_.notify_all();
  return true;
}

bool BackgroundWriter::finish() {
  std::unique_lock lock(mutex_);
  wait_idle(lock);
  return !failed_;
}

}  // namespace wsphere
