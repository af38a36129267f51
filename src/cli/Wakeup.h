#pragma once

#include <chrono>
#include <string>

namespace quillane::cli {

// A self-pipe that wakes the main thread: the SIGINT handler and the job's worker post one
// byte each, and the main thread waits for them between progress ticks.
class Wakeup {
 public:
  static constexpr char kInterrupt = 'i';
  static constexpr char kJobOver = 'd';

  Wakeup();
  ~Wakeup();
  Wakeup(const Wakeup&) = delete;
  Wakeup& operator=(const Wakeup&) = delete;

  // From then on Ctrl-C posts kInterrupt here instead of ending the process. Until the
  // object is destroyed, when the default action is restored.
  void catchInterrupts();
  void post(char event);
  // The events posted, in order; empty when the timeout passed first.
  std::string wait(std::chrono::milliseconds timeout);

 private:
  int readFd_ = -1;
  int writeFd_ = -1;
  bool catching_ = false;
};

}  // namespace quillane::cli
