#pragma once

#include <string>

namespace quellion {

class THttpCli;

// How an engine task ended.
enum class TEngineEnd {
  Running,    // not ended yet (also while still queued)
  TableFull,  // the table held Max Sites rows
  Stopped,    // Searching went down ("Stop Search")
  NoNewHits,  // the engine had nothing more: its last page added no hit, or it reads one page
  RuleEnded,  // the extraction rule raised, or Google's rule set its stop mark
  Failed,     // the last page failed (FailText says how) and added no hit
  Blocked,    // the engine refused this client (FailText says how); it now rests
  Suspended,  // not asked: it rests after a refusal until FailText ("HH:MM")
};

// One engine's part in a search: what its task asked for, what it added, how it ended.
struct TEngineOutcome {
  std::string Engine;  // the SearchEngine value of its rows
  int Pages = 0;       // pages asked for (requests started or tried)
  int Hits = 0;        // hits the table took
  TEngineEnd End = TEngineEnd::Running;
  // With Failed: the completion error text or "HTTP <status> <reason>"; with Blocked:
  // why ("HTTP 202", "challenge page"); with Suspended: the local time the rest ends.
  std::string FailText;

  // "running", "table-full", "stopped", "no-new-hits", "rule-ended", "failed: <text>",
  // "blocked: <why>", "suspended until <HH:MM>".
  std::string Reason() const;
  // "<Engine> pages=<N> hits=<N> end=<reason>".
  std::string Line() const;
  bool operator==(const TEngineOutcome&) const = default;
};

// Why the page the client last fetched failed, or "" when it answered with a 2xx
// status. capReached: the request was aborted on purpose at the page cap (no failure).
std::string PageFailureText(const THttpCli& client, bool capReached);

}  // namespace quellion
