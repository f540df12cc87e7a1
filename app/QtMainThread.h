#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/MainThread.h"

namespace quellion {

// The GUI thread's side of the main-thread hand-off: calls posted from any thread run
// later in the Qt event loop. Create it on the GUI thread.
//
// Calls are tied to an internal context object; they are dropped, never run, once the
// dispatcher is destroyed or the optional owner object given at construction is gone.
class TQtMainThread final : public TMainThreadDispatcher {
 public:
  explicit TQtMainThread(QObject* owner = nullptr);
  ~TQtMainThread() override;

  TQtMainThread(const TQtMainThread&) = delete;
  TQtMainThread& operator=(const TQtMainThread&) = delete;

  void Post(std::function<void()> fn) override;

 private:
  void Retire();

  // Shared with the owner's destroyed-connection, which may outlive this object.
  struct TState {
    std::mutex mutex;
    QObject* context = nullptr;  // lives on the GUI thread; nullptr once retired
  };
  std::shared_ptr<TState> state_;
  QMetaObject::Connection ownerConnection_;
};

}  // namespace quellion
