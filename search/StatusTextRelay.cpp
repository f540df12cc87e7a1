#include "search/StatusTextRelay.h"

#include <atomic>
#include <cstdint>

namespace quellion {

struct TStatusTextRelay::TState {
  explicit TState(TShow s) : Show(std::move(s)) {}
  TShow Show;
  // Counts the texts shown on the main thread; a posted text carries the count it saw.
  std::atomic<std::uint64_t> Generation{0};
};

TStatusTextRelay::TStatusTextRelay(TMainThreadDispatcher& dispatcher, TShow show)
    : dispatcher_(dispatcher), state_(std::make_shared<TState>(std::move(show))) {}

TStatusTextRelay::~TStatusTextRelay() = default;

void TStatusTextRelay::Relay(const std::string& text) {
  if (dispatcher_.IsMainThread()) {
    ++state_->Generation;
    if (state_->Show)
      state_->Show(text);
    return;
  }
  // Posted calls run on the main thread, where the relay is also destroyed: the weak
  // reference either finds the state whole or finds nothing.
  std::weak_ptr<TState> weak = state_;
  const std::uint64_t generation = state_->Generation.load();
  dispatcher_.Post([weak, text, generation] {
    const std::shared_ptr<TState> state = weak.lock();
    if (state && state->Generation.load() == generation && state->Show)
      state->Show(text);
  });
}

std::function<void(const std::string& text)> TStatusTextRelay::Handler() {
  return [this](const std::string& text) { Relay(text); };
}

}  // namespace quellion
