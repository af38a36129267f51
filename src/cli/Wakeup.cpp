#include "cli/Wakeup.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <system_error>

namespace quillane::cli {
namespace {

// The handler may only touch what is async-signal-safe: a lock-free int and write().
std::atomic<int> gInterruptFd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onInterrupt(int) {
  const int savedErrno = errno;
  const int fd = gInterruptFd.load();
  if (fd >= 0) {
    const char event = Wakeup::kInterrupt;
    (void)!::write(fd, &event, 1);
  }
  errno = savedErrno;
}

}  // namespace

Wakeup::Wakeup() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
    throw std::system_error(errno, std::generic_category(), "pipe");
  readFd_ = fds[0];
  writeFd_ = fds[1];
}

Wakeup::~Wakeup() {
  if (catching_) {
    std::signal(SIGINT, SIG_DFL);
    gInterruptFd.store(-1);
  }
  ::close(readFd_);
  ::close(writeFd_);
}

void Wakeup::catchInterrupts() {
  gInterruptFd.store(writeFd_);
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  catching_ = true;
}

void Wakeup::post(char event) {
  // A full pipe already holds enough wake-ups; the byte may be dropped.
  while (::write(writeFd_, &event, 1) < 0 && errno == EINTR) {
  }
}

std::string Wakeup::wait(std::chrono::milliseconds timeout) {
  pollfd entry{readFd_, POLLIN, 0};
  const int ready = ::poll(&entry, 1, static_cast<int>(timeout.count()));
  std::string events;
  if (ready <= 0) return events;
  char buffer[64];
  ssize_t got;
  while ((got = ::read(readFd_, buffer, sizeof buffer)) > 0)
    events.append(buffer, static_cast<std::size_t>(got));
  return events;
}

}  // namespace quillane::cli
