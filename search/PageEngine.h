#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "search/Hit.h"

namespace quellion {

struct TSearchRequest;

// One task's reading of an engine given as data (a definition file): the address of
// each page and how hits are picked out of it. Made fresh for each task and used on
// that task's thread only.
class TPageReader {
 public:
  virtual ~TPageReader() = default;
  // The address of the page with index pageIndex (0 for the first page).
  virtual std::string PageAddress(int pageIndex) const = 0;
  // Hands every hit of one page to sink at once, in page order, asking mayGoOn
  // before each. contentType is the answer's Content-Type header ("" if none);
  // pageUrl is the address the page was asked for. A page that cannot be read
  // yields nothing; nothing is raised.
  virtual void Extract(const std::string& page, const std::string& contentType,
                       const std::string& pageUrl, const std::function<bool()>& mayGoOn,
                       const THitSink& sink) = 0;
  // Why the last Extract() stopped before the page's end, other than a stop or a full
  // table ("" when it did not): the task then fails with this reason.
  virtual std::string ReadFailure() const { return {}; }
};

// An engine given as data, shared read-only by the tasks that run it.
class TPageEngine {
 public:
  virtual ~TPageEngine() = default;
  // The SearchEngine value of its rows.
  virtual const std::string& Name() const = 0;
  // False: one page per search.
  virtual bool Paging() const = 0;
  // Extra request headers, name and value.
  virtual const std::vector<std::pair<std::string, std::string>>& Headers() const = 0;
  virtual std::unique_ptr<TPageReader> NewReader(const TSearchRequest& request) const = 0;
};

}  // namespace quellion
