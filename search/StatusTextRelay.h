#pragma once

// Status texts on the main thread. TSearchControl::OnStatusText fires on the main thread
// and on engine task threads (under the caller lock, where it must not block). A relay
// receives both and shows each text on the main thread:
//  - a text set on the main thread is shown at once;
//  - a text from another thread is posted to the main thread and shown there in order,
//    unless a text was shown on the main thread since it was posted: that one is newer
//    (for example "Search Complete  -  Found N sites") and stays;
//  - texts still on their way when the relay is destroyed are dropped.
// Create and destroy the relay on the main thread; Relay may be called on any thread.

#include <functional>
#include <memory>
#include <string>

#include "platform/MainThread.h"

namespace quellion {

class TStatusTextRelay {
 public:
  using TShow = std::function<void(const std::string& text)>;

  // show runs on the main thread only, with every text that is not dropped.
  TStatusTextRelay(TMainThreadDispatcher& dispatcher, TShow show);
  ~TStatusTextRelay();
  TStatusTextRelay(const TStatusTextRelay&) = delete;
  TStatusTextRelay& operator=(const TStatusTextRelay&) = delete;

  void Relay(const std::string& text);

  // A handler for OnStatusText that relays through this object (which must outlive the
  // handler's last call).
  std::function<void(const std::string& text)> Handler();

 private:
  struct TState;
  TMainThreadDispatcher& dispatcher_;
  std::shared_ptr<TState> state_;
};

}  // namespace quellion
