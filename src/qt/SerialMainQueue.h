#pragma once

#include <QObject>
#include <deque>
#include <mutex>

#include "app/Toolkit.h"

namespace quillane::qt {

// The main queue on Qt's event loop. Serial like a dispatch queue: a block that runs a modal
// dialog (whose nested event loop would otherwise run the blocks behind it) holds them until
// it returns, so blocks always run one at a time in posting order.
class SerialMainQueue final : public QObject, public toolkit::MainQueue {
  Q_OBJECT
 public:
  using QObject::QObject;
  void post(std::function<void()> block) override;

 private:
  void drain();

  std::mutex mutex_;
  std::deque<std::function<void()>> blocks_;
  bool draining_ = false;  // main thread only
};

}  // namespace quillane::qt
