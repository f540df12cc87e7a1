// The fetch loop of an engine given as data. It follows the classic engines' loop
// (EngineTask.cpp): the same checks before every request, the same 100 ms wait steps
// with Abort after the step limit and on a stop, the same page cap and proxy. Only
// the paging differs: pages are counted (0, 1, 2, ...) instead of hits, and without
// paging there is one page. The next page is asked for only while the previous one
// added at least one hit; a short page is no reason to stop.

#include <exception>

#include "net/HttpCli.h"
#include "net/RequestWait.h"
#include "platform/StringStream.h"
#include "platform/ThreadHalt.h"
#include "platform/ThreadQueue.h"
#include "search/EngineOutcome.h"
#include "search/PageEngine.h"
#include "search/SearchShared.h"

namespace quellion {
namespace {

bool SameHeaderName(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i]))
      return false;
  }
  return i == a.size() && !b[i];
}

// Headers the client writes itself take the definition's value; the others follow
// the Host line.
std::string ApplyHeaders(THttpCli& client,
                         const std::vector<std::pair<std::string, std::string>>& headers) {
  std::string extra;
  for (const auto& [name, value] : headers) {
    if (SameHeaderName(name, "user-agent"))
      client.Agent = value;
    else if (SameHeaderName(name, "accept"))
      client.Accept = value;
    else if (SameHeaderName(name, "referer"))
      client.Reference = value;
    else if (SameHeaderName(name, "cookie"))
      client.Cookie = value;
    else
      extra += "\r\n" + name + ": " + value;
  }
  return extra;
}

// As in the classic loop: the completion of an aborted request is taken before the
// next request starts.
void TakeRequestDone(const bool& done) {
  auto& queue = TThreadQueue::Current();
  for (int i = 0; i < 200 && !done; ++i) {
    queue.WaitForWork(10);
    queue.Pump();
  }
}

}  // namespace

void RunPageEngineTask(const std::shared_ptr<TSearchShared>& shared,
                       const std::shared_ptr<const TSearchRun>& run,
                       const std::shared_ptr<const TPageEngine>& engine, TOutcomeRecorder outcome) {
  // The outcome is only observed: the loop runs exactly as without it.
  std::string pageFailure;  // why the page last asked for failed ("" if it answered)
  int addedByLastPage = 0;
  bool escaped = false;  // an error ended the task
  try {
    std::unique_ptr<TPageReader> reader = engine->NewReader(run->Request);
    THttpCli client;
    bool done = false;
    client.OnRequestDone = [&done](THttpCli&, THttpRequest, uint16_t) { done = true; };
    const TSearchRequest& request = run->Request;
    client.Proxy = request.ProxyName;
    client.ProxyPort = request.ProxyPort;
    client.ProxyUsername = request.ProxyUserName;
    client.ProxyPassword = request.ProxyPassword;
    const std::string extraHeaders = ApplyHeaders(client, engine->Headers());
    if (!extraHeaders.empty()) {
      client.OnCommand = [&extraHeaders](THttpCli&, std::string& line) {
        if (line.rfind("Host: ", 0) == 0)
          line += extraHeaders;
      };
    }
    TStringStream stream;
    client.ReceiveStream = &stream;

    const size_t cap = run->Limits.PageCap;
    bool capReached = false;
    client.OnDocData = [&stream, &capReached, cap](THttpCli&, const char*, int32_t) {
      if (stream.Size() < cap)
        return;
      capReached = true;
      stream.SetPosition(cap);
      stream.Write(nullptr, 0);  // cuts the content to cap bytes
    };

    const std::string& engineName = engine->Name();
    auto mayGoOn = [&shared] {
      return shared->Table->RowCount() < shared->MaxSites.load() && shared->Searching.load();
    };

    int pageIndex = 0;
    for (;;) {
      if (shared->Table->RowCount() >= shared->MaxSites.load()) {
        outcome.Ended(TEngineEnd::TableFull);
        break;
      }
      if (!shared->Searching.load()) {
        outcome.Ended(TEngineEnd::Stopped);
        break;
      }
      if (pageIndex > 0 && (addedByLastPage == 0 || !engine->Paging())) {
        // Without paging the one page is all the engine has: that too is "nothing more".
        if (addedByLastPage == 0 && !pageFailure.empty())
          outcome.Ended(TEngineEnd::Failed, pageFailure);
        else
          outcome.Ended(TEngineEnd::NoNewHits);
        break;
      }
      addedByLastPage = 0;
      stream.SetPosition(0);
      const std::string address = reader->PageAddress(pageIndex);
      client.URL = address;
      outcome.PageAsked();
      pageFailure.clear();
      try {
        client.StartGet();
        done = false;
        capReached = false;
        TThreadQueue::Current().Pump();
        if (done)
          Sleep(100);
        WaitForRequest(
            client, done,
            [&shared, &capReached] { return shared->Searching.load() && !capReached; },
            run->Limits.WaitStepsBeforeAbort);
        if (!done)
          TakeRequestDone(done);
        pageFailure = PageFailureText(client, capReached);
      } catch (const std::exception& e) {
        // A request that could not start leaves the previous page in the stream.
        pageFailure = e.what();
      } catch (...) {
        pageFailure = "the request could not start";
      }

      const std::string& page = stream.DataString();
      reader->Extract(page, client.ContentType(), address, mayGoOn, [&](const THit& hit) {
        if (shared->AddHit(hit.Title, hit.URL, hit.Description, engineName)) {
          shared->ReportHitCount();
          outcome.HitAdded();
          ++addedByLastPage;
        }
      });
      if (std::string why = reader->ReadFailure(); !why.empty()) {
        outcome.Ended(TEngineEnd::Failed, why);  // a page too costly to read, say
        break;
      }
      ++pageIndex;
    }
  } catch (...) {
    // Anything that escapes ends this engine's task, as for the classic engines.
    escaped = true;
  }
  if (escaped) {
    try {
      // A page cut short by "Stop Search" leaves the rule an empty page to fail on.
      if (!shared->Searching.load())
        outcome.Ended(TEngineEnd::Stopped);
      else if (!pageFailure.empty() && addedByLastPage == 0)
        outcome.Ended(TEngineEnd::Failed, pageFailure);
      else
        outcome.Ended(TEngineEnd::RuleEnded);
    } catch (...) {
    }
  }
}

}  // namespace quellion
