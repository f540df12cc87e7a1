#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "search/Hit.h"

namespace quellion {

class THttpCli;

// What the fetch loop (EngineTask.cpp) runs for one engine task: where the pages
// are, how hits come out of them and when to stop asking. A classic engine's rules
// (TClassicPageReader) and an engine given as data (TDefinedEngine::NewReader) sit
// behind it. Made fresh for each task and used on that task's thread only.
class TPageReader {
 public:
  virtual ~TPageReader() = default;

  // Sets the engine's own request fields (headers) on the task's client; called
  // once, before the first page.
  virtual void SetUpClient(THttpCli& client) const { (void)client; }
  // The address of the next page to ask for; called once per page.
  virtual std::string NextPageAddress() = 0;
  // The form body to POST for the page NextPageAddress last gave; nullopt: a GET.
  virtual std::optional<std::string> PageBody() const { return std::nullopt; }
  // Hands every hit of one page to sink at once, in page order, asking mayGoOn
  // before each. contentType is the answer's Content-Type header ("" if none);
  // pageUrl is the address the page was asked for. An error raised here ends the
  // task.
  virtual void ReadPage(const std::string& page, const std::string& contentType,
                        const std::string& pageUrl, const std::function<bool()>& mayGoOn,
                        const THitSink& sink) = 0;
  // Why the last ReadPage() stopped before the page's end, other than a stop or a full
  // table ("" when it did not): the task then fails with this reason.
  virtual std::string ReadFailure() const { return {}; }
  // After a page of which the table took `added` hits: whether the next page is
  // worth asking for.
  virtual bool GoOnAfterPage(int added) = 0;
  // True once the engine's rule has ended its reading for good: the task then ends
  // as "rule ended" rather than "no new hits".
  virtual bool RuleStopped() const { return false; }
  // After a page answered with this HTTP status (0: none) and read by ReadPage: why
  // the engine refuses this client (a status or a challenge page that means
  // "blocked"), or "" when it does not.
  virtual std::string BlockedReason(int32_t status) const {
    (void)status;
    return {};
  }
  // How long a blocked engine rests before it is asked again, in minutes.
  virtual int RestMinutes() const { return 0; }
};

}  // namespace quellion
