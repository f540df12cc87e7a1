#include "search/EngineOutcome.h"

#include "net/HttpCli.h"

namespace quellion {

std::string TEngineOutcome::Reason() const {
  switch (End) {
    case TEngineEnd::Running:
      return "running";
    case TEngineEnd::TableFull:
      return "table-full";
    case TEngineEnd::Stopped:
      return "stopped";
    case TEngineEnd::NoNewHits:
      return "no-new-hits";
    case TEngineEnd::RuleEnded:
      return "rule-ended";
    case TEngineEnd::Failed:
      return "failed: " + FailText;
    case TEngineEnd::Blocked:
      return "blocked: " + FailText;
    case TEngineEnd::Suspended:
      return "suspended until " + FailText;
  }
  return "running";
}

std::string TEngineOutcome::Line() const {
  return Engine + " pages=" + std::to_string(Pages) + " hits=" + std::to_string(Hits) +
         " end=" + Reason();
}

std::string PageFailureText(const THttpCli& client, bool capReached) {
  if (capReached)
    return {};
  if (const uint16_t error = client.CompletionError()) {
    // The client words its own failures in the reason phrase.
    if (!client.ReasonPhrase().empty())
      return client.ReasonPhrase();
    return "Error #" + std::to_string(error);
  }
  const int32_t status = client.StatusCode();
  if (status >= 200 && status < 300)
    return {};
  std::string text = "HTTP " + std::to_string(status);
  if (!client.ReasonPhrase().empty())
    text += " " + client.ReasonPhrase();
  return text;
}

}  // namespace quellion
