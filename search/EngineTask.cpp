// The engine fetch loop, one for every engine: a page reader (TPageReader) says which
// page to ask for, reads its hits and says whether to go on. Rules:
//  - Everything the task uses is its own (reader, client, stream) or shared-owned
//    (table, flags), so a task halted at shutdown touches no released memory.
//  - The caller lock is never held during a fetch or a parse.
//  - Every error is swallowed: a failed page only means fewer hits.

#include "search/EngineTask.h"

#include <exception>
#include <functional>
#include <optional>

#include "net/HttpCli.h"
#include "platform/StringStream.h"
#include "platform/ThreadHalt.h"
#include "platform/ThreadQueue.h"
#include "search/ClassicPageReader.h"
#include "search/DefinedEngine.h"
#include "search/EngineOutcome.h"
#include "search/EngineRests.h"
#include "search/RequestWait.h"
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

// A refusal makes the engine rest; a rest that cannot be written only means the next
// search asks it again.
void StartRest(const TSearchRun& run, const std::string& engineName, int minutes) {
  if (run.Request.RestsFile.empty() || minutes <= 0)
    return;
  const int64_t now = RestClockNow();
  std::string error;
  SetEngineRest(run.Request.RestsFile, engineName, now + int64_t{minutes} * 60, now, error);
}

using TNewReader = std::function<std::unique_ptr<TPageReader>()>;

void RunEngineTask(const std::shared_ptr<TSearchShared>& shared,
                   const std::shared_ptr<const TSearchRun>& run, const std::string& engineName,
                   const TNewReader& newReader, TOutcomeRecorder& outcome) {
  // The outcome is only observed: the loop runs exactly as without it.
  std::string pageFailure;  // why the page last asked for failed ("" if it answered)
  int addedByPage = 0;      // hits the table took from the page last asked for
  bool escaped = false;     // an error ended the task
  try {
    // Freed in reverse order on every way out: stream, client, reader.
    const std::unique_ptr<TPageReader> reader = newReader();
    THttpCli client;
    bool done = false;
    client.OnRequestDone = [&done](THttpCli&, THttpRequest, uint16_t) { done = true; };
    const TSearchRequest& request = run->Request;
    client.Proxy = request.ProxyName;
    client.ProxyPort = request.ProxyPort;
    client.ProxyUsername = request.ProxyUserName;
    client.ProxyPassword = request.ProxyPassword;
    reader->SetUpClient(client);
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

    const std::function<bool()> mayGoOn = [&shared] {
      return shared->Table->RowCount() < shared->MaxSites.load() && shared->Searching.load();
    };
    // The engine's results taken so far. A hit the engine already gave (a classic
    // engine's next page starts after the rows it added, so pages may overlap) is
    // not counted again, so every row's position is its place in the engine's list.
    int taken = 0;
    const THitSink sink = [&](const THit& hit) {
      const TAddOutcome added =
          shared->AddHit(hit.Title, hit.URL, hit.Description, engineName, taken + 1);
      if (added != TAddOutcome::Refused)
        ++taken;
      if (added == TAddOutcome::Appended) {
        shared->ReportHitCount();
        outcome.HitAdded();
        ++addedByPage;
      }
    };

    bool asked = false;  // a page has been asked for
    for (;;) {
      if (shared->Table->RowCount() >= shared->MaxSites.load()) {
        outcome.Ended(TEngineEnd::TableFull);
        break;
      }
      if (!shared->Searching.load()) {
        outcome.Ended(TEngineEnd::Stopped);
        break;
      }
      if (asked && !reader->GoOnAfterPage(addedByPage)) {
        if (reader->RuleStopped())
          outcome.Ended(TEngineEnd::RuleEnded);
        else if (addedByPage == 0 && !pageFailure.empty())
          outcome.Ended(TEngineEnd::Failed, pageFailure);
        else
          outcome.Ended(TEngineEnd::NoNewHits);
        break;
      }
      asked = true;
      addedByPage = 0;
      stream.SetPosition(0);
      client.URL = reader->NextPageAddress();
      outcome.PageAsked();
      pageFailure.clear();
      int32_t status = 0;  // of this page's answer
      try {
        if (std::optional<std::string> body = reader->PageBody()) {
          client.PostBody = std::move(*body);
          client.StartPost();
        } else {
          client.StartGet();
        }
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
        status = client.StatusCode();
      } catch (const std::exception& e) {
        // A request that could not start leaves the previous page in the stream.
        pageFailure = e.what();
      } catch (...) {
        pageFailure = "the request could not start";
      }

      reader->ReadPage(stream.DataString(), client.ContentType(), client.URL, mayGoOn, sink);
      const std::string blocked = reader->BlockedReason(status);
      if (!blocked.empty()) {
        StartRest(*run, engineName, reader->RestMinutes());
        outcome.Ended(TEngineEnd::Blocked, blocked);
        break;
      }
      if (std::string why = reader->ReadFailure(); !why.empty()) {
        outcome.Ended(TEngineEnd::Failed, why);  // a page too costly to read, say
        break;
      }
    }
  } catch (...) {
    // An error that escapes the reader (or anything else) ends this engine's task. A
    // page that failed and gave nothing is the better explanation of the two.
    escaped = true;
  }
  if (escaped) {
    try {
      // A page cut short by "Stop Search" leaves the rule an empty page to fail on.
      if (!shared->Searching.load())
        outcome.Ended(TEngineEnd::Stopped);
      else if (!pageFailure.empty() && addedByPage == 0)
        outcome.Ended(TEngineEnd::Failed, pageFailure);
      else
        outcome.Ended(TEngineEnd::RuleEnded);
    } catch (...) {
    }
  }
}

}  // namespace

void RunClassicEngineTask(const std::shared_ptr<TSearchShared>& shared,
                          const std::shared_ptr<const TSearchRun>& run, TEngine engine,
                          TOutcomeRecorder outcome) {
  RunEngineTask(
      shared, run, EngineName(engine),
      [&run, engine] {
        return std::make_unique<TClassicPageReader>(engine, run->Hosts[EngineIndex(engine)],
                                                    run->Request);
      },
      outcome);
}

void RunDefinedEngineTask(const std::shared_ptr<TSearchShared>& shared,
                          const std::shared_ptr<const TSearchRun>& run,
                          const std::shared_ptr<const TDefinedEngine>& engine,
                          TOutcomeRecorder outcome) {
  RunEngineTask(
      shared, run, engine->Name(), [&run, &engine] { return engine->NewReader(run->Request); },
      outcome);
}

}  // namespace quellion
