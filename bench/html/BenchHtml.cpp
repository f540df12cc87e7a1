// Parse throughput and heap peak of THTMLParser side by side with libxml2's HTML
// parser, gumbo and a memchr pass over the same bytes. Not a test: run it by hand
// (built with -DQUELLION_BENCH=ON) and read the table.
//
// Throughput is the median of at least five runs (thread CPU time); the heap peak is the highest
// number of malloc'd bytes held while one page is parsed and its tree kept, divided
// by the page's size.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/html/HeapCounter.h"
#include "bench/html/PageGenerator.h"
#include "html/HtmlParser.h"

#ifdef QUELLION_BENCH_LIBXML2
#include <libxml/HTMLparser.h>
#include <libxml/tree.h>
#endif
#ifdef QUELLION_BENCH_GUMBO
#include <gumbo.h>
#endif

namespace quellion::bench {
namespace {

struct TInput {
  std::string Name;
  std::vector<std::string> Pages;
  size_t Bytes() const {
    size_t n = 0;
    for (const auto& p : Pages)
      n += p.size();
    return n;
  }
};

// One parser under test: Parse builds a tree and returns a handle, Free releases it.
struct TCandidate {
  std::string Name;
  std::function<void*(const std::string&)> Parse;
  std::function<void(void*)> Free;
};

struct TMeasure {
  double MBps = 0;
  double HeapRatio = 0;  // highest peak / size over the input's pages
  int Runs = 0;
};

using TClock = std::chrono::steady_clock;

// A baseline that is very slow on some shape gets fewer runs after this much time.
constexpr double kBudgetSeconds = 30.0;

// Time is the thread's CPU time: on a shared machine, wall time mostly measures the
// neighbours. Page faults still count (the kernel works on this thread's behalf).
double CpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

TMeasure Measure(const TCandidate& candidate, const TInput& input, int runs, double budgetSec) {
  std::vector<double> times;
  TMeasure m;
  const auto started = TClock::now();
  for (int run = 0; run < runs; ++run) {
    double seconds = 0;
    for (const auto& page : input.Pages) {
      ResetHeapPeak();
      const size_t base = HeapInUse();
      const double t0 = CpuSeconds();
      void* handle = candidate.Parse(page);
      const double t1 = CpuSeconds();
      const size_t peak = HeapPeak() - base;
      candidate.Free(handle);
      seconds += t1 - t0;
      if (!page.empty())
        m.HeapRatio = std::max(m.HeapRatio, static_cast<double>(peak) / page.size());
    }
    times.push_back(seconds);
    // A baseline that is very slow on a shape gets fewer runs (marked in the table).
    if (std::chrono::duration<double>(TClock::now() - started).count() > budgetSec)
      break;
  }
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  m.MBps = median > 0 ? input.Bytes() / 1e6 / median : 0;
  m.Runs = static_cast<int>(times.size());
  return m;
}

std::vector<TCandidate> Candidates() {
  std::vector<TCandidate> list;
  list.push_back({"quellion",
                  [](const std::string& page) -> void* {
                    auto* parser = new THTMLParser;
                    parser->Parse(page);
                    return parser;
                  },
                  [](void* h) { delete static_cast<THTMLParser*>(h); }});
#ifdef QUELLION_BENCH_LIBXML2
  list.push_back({"libxml2",
                  [](const std::string& page) -> void* {
                    return htmlReadMemory(page.data(), static_cast<int>(page.size()), "page.html",
                                          nullptr,
                                          HTML_PARSE_RECOVER | HTML_PARSE_NOERROR |
                                              HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
                  },
                  [](void* h) {
                    if (h)
                      xmlFreeDoc(static_cast<xmlDocPtr>(h));
                  }});
#endif
#ifdef QUELLION_BENCH_GUMBO
  list.push_back(
      {"gumbo",
       [](const std::string& page) -> void* {
         return gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
       },
       [](void* h) { gumbo_destroy_output(&kGumboDefaultOptions, static_cast<GumboOutput*>(h)); }});
#endif
  list.push_back({"memchr",
                  [](const std::string& page) -> void* {
                    size_t count = 0;
                    const char* p = page.data();
                    const char* end = p + page.size();
                    while ((p = static_cast<const char*>(std::memchr(p, '<', end - p)))) {
                      ++count;
                      ++p;
                    }
                    return reinterpret_cast<void*>(count + 1);
                  },
                  [](void*) {}});
  return list;
}

std::string Repeat(const std::string& s, size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i)
    out += s;
  return out;
}

std::vector<TInput> Inputs() {
  std::vector<TInput> inputs;
  TInput set{"(a) 20 result pages", {}};
  for (uint32_t seed = 1; seed <= 20; ++seed)
    set.Pages.push_back(MakeResultPage(seed * 7919, 20 + static_cast<int>(seed % 4) * 20));
  inputs.push_back(std::move(set));
  inputs.push_back({"(b) one large page", {MakeLargePage(16u << 20)}});
  for (size_t depth : {1000u, 10000u, 100000u})
    inputs.push_back({"(c) nested " + std::to_string(depth / 1000) + "k deep",
                      {Repeat("<div>", depth) + "x" + Repeat("</div>", depth)}});
  inputs.push_back({"(c) 100k unclosed p", {Repeat("<p>x", 100000)}});
  inputs.push_back({"(c) 100k unclosed li", {"<ul>" + Repeat("<li>x", 100000)}});
  inputs.push_back({"(c) 100k unclosed td", {"<table><tr>" + Repeat("<td>x", 100000)}});
  std::string attrs = "<a";
  for (int i = 0; i < 100000; ++i)
    attrs += " a" + std::to_string(i) + "=v";
  inputs.push_back({"(c) 100k attributes", {attrs + ">x</a>"}});
  inputs.push_back(
      {"(c) 1 MB attribute value", {"<a href=\"" + std::string(1 << 20, 'v') + "\">x</a>"}});
  inputs.push_back({"(c) 1M bare <", {std::string(1000000, '<')}});
  return inputs;
}

#ifdef QUELLION_BENCH_LIBXML2
void IgnoreXmlError(void*, const char*, ...) {}
#endif

}  // namespace
}  // namespace quellion::bench

int main(int argc, char** argv) {
  using namespace quellion::bench;
  // bench_html [RUNS [CANDIDATE [INPUT-PREFIX]]]: more runs, or one parser and some
  // inputs only (for profiling).
  int runs = 5;
  if (argc > 1)
    runs = std::max(5, std::atoi(argv[1]));
  const std::string only = argc > 2 ? argv[2] : "";
  const std::string prefix = argc > 3 ? argv[3] : "";
#ifdef QUELLION_BENCH_LIBXML2
  xmlInitParser();
  xmlSetGenericErrorFunc(nullptr, IgnoreXmlError);
#endif
  auto candidates = Candidates();
  auto inputs = Inputs();
  if (!only.empty() || !prefix.empty()) {
    std::erase_if(candidates, [&](const TCandidate& c) { return !only.empty() && c.Name != only; });
    std::erase_if(inputs, [&](const TInput& i) { return i.Name.rfind(prefix, 0) != 0; });
    for (const auto& input : inputs)
      for (const auto& c : candidates) {
        const TMeasure m = Measure(c, input, runs, kBudgetSeconds);
        std::printf("%s %s: %.1f MB/s, heap %.2fx\n", input.Name.c_str(), c.Name.c_str(), m.MBps,
                    m.HeapRatio);
      }
    return 0;
  }

  std::printf("%-26s %9s", "input", "KB");
  for (const auto& c : candidates)
    std::printf(" | %9s MB/s heap", c.Name.c_str());
  std::printf("\n");
  std::vector<std::vector<TMeasure>> all;
  for (const auto& input : inputs) {
    std::printf("%-26s %9zu", input.Name.c_str(), input.Bytes() / 1024);
    std::fflush(stdout);
    std::vector<TMeasure> row;
    for (const auto& c : candidates) {
      const TMeasure m = Measure(c, input, runs, kBudgetSeconds);
      row.push_back(m);
      std::printf(" | %14.2f %4.1fx%s", m.MBps, m.HeapRatio, m.Runs < runs ? "*" : " ");
      std::fflush(stdout);
    }
    std::printf("\n");
    all.push_back(row);
  }
  std::printf("\n* fewer than %d runs: the run budget of %.0f s was spent.\n\n", runs,
              kBudgetSeconds);
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::printf("%-26s", inputs[i].Name.c_str());
    for (size_t c = 1; c < candidates.size(); ++c)
      if (candidates[c].Name != "memchr")
        std::printf("  %.1fx %s", all[i][0].MBps / all[i][c].MBps, candidates[c].Name.c_str());
    std::printf("\n");
  }
  // Inputs 2..4 are the 1k/10k/100k nestings.
  auto seconds = [&](size_t i) { return inputs[i].Bytes() / 1e6 / all[i][0].MBps; };
  std::printf("\nquellion: 100k-deep time / 10k-deep time = %.1f\n", seconds(4) / seconds(3));
  return 0;
}
