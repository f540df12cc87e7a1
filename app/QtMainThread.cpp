#include "app/QtMainThread.h"

#include <QMetaObject>

namespace quellion {

TQtMainThread::TQtMainThread(QObject* owner) : state_(std::make_shared<TState>()) {
  state_->context = new QObject;
  if (owner) {
    // Runs on the GUI thread while the owner is being destroyed.
    auto state = state_;
    ownerConnection_ = QObject::connect(owner, &QObject::destroyed, [state] {
      std::lock_guard lock(state->mutex);
      delete state->context;  // discards the calls still queued for it
      state->context = nullptr;
    });
  }
}

TQtMainThread::~TQtMainThread() {
  QObject::disconnect(ownerConnection_);
  Retire();
}

void TQtMainThread::Retire() {
  std::lock_guard lock(state_->mutex);
  delete state_->context;
  state_->context = nullptr;
}

void TQtMainThread::Post(std::function<void()> fn) {
  // Posting happens under the lock so the context cannot be deleted in between;
  // queuing an event is thread-safe and does not run anything here.
  std::lock_guard lock(state_->mutex);
  if (!state_->context)
    return;
  QMetaObject::invokeMethod(
      state_->context, [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

}  // namespace quellion
