#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "image/decode/Decode.h"

namespace quillane {

// Decodes files ahead of their turn on a few worker threads that live as long as the queue,
// so that a job of hundreds of small files starts no thread per file. Work is done in the
// order it is pushed: the file needed next is never behind later ones.
class DecodeQueue {
 public:
  using Decode = std::function<Decoded<DecodedImage>()>;

  explicit DecodeQueue(unsigned workers);
  // Waits for the decodes in progress; those not started are dropped.
  ~DecodeQueue();
  DecodeQueue(const DecodeQueue&) = delete;
  DecodeQueue& operator=(const DecodeQueue&) = delete;

  // The decode's image, or its exception, once a worker has run it.
  std::future<Decoded<DecodedImage>> push(Decode decode);

 private:
  void work();

  std::mutex mutex_;
  std::condition_variable pushed_;
  std::deque<std::packaged_task<Decoded<DecodedImage>()>> waiting_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace quillane
