// The engine fetch loop. Rules:
//  - Everything the task uses is its own (client, stream, parser) or shared-owned
//    (table, flags), so a task halted at shutdown touches no released memory.
//  - The caller lock is never held during a fetch or a parse.
//  - Every error is swallowed: a failed page only means fewer hits.

#include <exception>

#include "html/HtmlParser.h"
#include "net/HttpCli.h"
#include "net/RequestWait.h"
#include "platform/StringStream.h"
#include "platform/ThreadHalt.h"
#include "platform/ThreadQueue.h"
#include "search/EngineOutcome.h"
#include "search/PageExtractor.h"
#include "search/QueryBuilder.h"
#include "search/SearchShared.h"

namespace quellion {
namespace {

// After an Abort the client's OnRequestDone still comes from the event loop; it must
// be taken before the next request, or it would end that request's wait at once.
void TakeRequestDone(const bool& done) {
  auto& queue = TThreadQueue::Current();
  for (int i = 0; i < 200 && !done; ++i) {
    queue.WaitForWork(10);
    queue.Pump();
  }
}

}  // namespace

bool TSearchShared::AddHit(const std::string& title, const std::string& url,
                           const std::string& description, const std::string& engine) {
  std::lock_guard lock(*CallerLock);
  return Table->AppendUnique(title, url, description, engine, MaxSites.load());
}

void TSearchShared::ReportHitCount() {
  std::lock_guard lock(*CallerLock);
  if (Owner && Owner->OnStatusText)
    Owner->OnStatusText(TSearchControl::SearchingText(Table->RowCount()));
}

void RunEngineTask(const std::shared_ptr<TSearchShared>& shared,
                   const std::shared_ptr<const TSearchRun>& run, TEngine engine,
                   TOutcomeRecorder outcome) {
  // The outcome is only observed: the loop runs exactly as without it.
  std::string pageFailure;  // why the page last asked for failed ("" if it answered)
  bool pageAddedHits = false;
  bool escaped = false;  // an error ended the task
  try {
    // Freed in reverse order on every way out: stream, client, parser (extractor).
    TPageExtractor extractor(engine);
    THttpCli client;
    bool done = false;
    client.OnRequestDone = [&done](THttpCli&, THttpRequest, uint16_t) { done = true; };
    const TSearchRequest& request = run->Request;
    client.Proxy = request.ProxyName;
    client.ProxyPort = request.ProxyPort;
    client.ProxyUsername = request.ProxyUserName;
    client.ProxyPassword = request.ProxyPassword;
    TStringStream stream;
    client.ReceiveStream = &stream;

    // A page is cut at PageCap bytes: once it is reached, further body bytes are
    // dropped and the wait aborts the request.
    const size_t cap = run->Limits.PageCap;
    bool capReached = false;
    client.OnDocData = [&stream, &capReached, cap](THttpCli&, const char*, int32_t) {
      if (stream.Size() < cap)
        return;
      capReached = true;
      stream.SetPosition(cap);
      stream.Write(nullptr, 0);  // cuts the content to cap bytes
    };

    const std::string& host = run->Hosts[EngineIndex(engine)];
    const std::string firstPage =
        FirstPageAddress(engine, host, EncodeKeywords(request.Keywords), request.LanguageIndex);
    const std::string& engineName = EngineName(engine);
    const bool google = engine == TEngine::Google;
    std::string suffix = FirstPageSuffix(engine);
    int32_t n = google ? 0 : 1;
    int32_t p = google ? -1 : 0;

    auto mayGoOn = [&shared] {
      return shared->Table->RowCount() < shared->MaxSites.load() && shared->Searching.load();
    };

    for (;;) {
      if (shared->Table->RowCount() >= shared->MaxSites.load()) {
        outcome.Ended(TEngineEnd::TableFull);
        break;
      }
      if (!shared->Searching.load()) {
        outcome.Ended(TEngineEnd::Stopped);
        break;
      }
      if (p >= n) {
        // the previous page added no hit
        if (extractor.RuleStopped())
          outcome.Ended(TEngineEnd::RuleEnded);
        else if (!pageFailure.empty())
          outcome.Ended(TEngineEnd::Failed, pageFailure);
        else
          outcome.Ended(TEngineEnd::NoNewHits);
        break;
      }
      p = n;
      stream.SetPosition(0);
      client.URL = firstPage + suffix;
      outcome.PageAsked();
      pageFailure.clear();
      pageAddedHits = false;
      try {
        client.StartGet();
        done = false;
        capReached = false;
        // Take the connect notification and send the request now rather than after the
        // first 100 ms step, so a prompt server's answer is complete by that step's pump.
        // Should the answer already be complete, the step is slept all the same: every
        // page still costs at least one 100 ms step, as the engines have always seen.
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
      extractor.Extract(page, mayGoOn, [&](const THit& hit) {
        if (shared->AddHit(hit.Title, hit.URL, hit.Description, engineName)) {
          shared->ReportHitCount();
          outcome.HitAdded();
          pageAddedHits = true;
          ++n;
        }
      });
      suffix = PageSuffix(engine, n);
    }
  } catch (...) {
    // An error that escapes the rule (or anything else) ends this engine's task. A page
    // that failed and gave nothing is the better explanation of the two.
    escaped = true;
  }
  if (escaped) {
    try {
      // A page cut short by "Stop Search" leaves the rule an empty page to fail on.
      if (!shared->Searching.load())
        outcome.Ended(TEngineEnd::Stopped);
      else if (!pageFailure.empty() && !pageAddedHits)
        outcome.Ended(TEngineEnd::Failed, pageFailure);
      else
        outcome.Ended(TEngineEnd::RuleEnded);
    } catch (...) {
    }
  }
}

}  // namespace quellion
