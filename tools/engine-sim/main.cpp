// quellion-engine-sim: serves the five engines' result pages on loopback until it is
// interrupted (or, with --exit-on-stdin-eof, its standard input closes). Prints one line per
// engine:
// "<engine> 127.0.0.1:<port>".
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "tools/engine-sim/EngineSimulator.h"

using namespace quellion;
using namespace quellion::tools;

namespace {

volatile sig_atomic_t stopRequested = 0;
void OnSignal(int) {
  stopRequested = 1;
}

[[noreturn]] void Usage(int status) {
  (status == 0 ? std::cout : std::cerr)
      << "Usage: quellion-engine-sim [OPTIONS]\n"
         "  --hits-per-page N       results per page (default 10)\n"
         "  --total N               results per engine (default 100)\n"
         "  --overlap N             first N results shared by every engine (default 0)\n"
         "  --delay MS              wait before every answer (default 0)\n"
         "  --dead ENGINE           that engine's port refuses connections\n"
         "  --silent ENGINE         that engine accepts and never answers\n"
         "  --endless ENGINE        that engine streams its page without end\n"
         "  --blocked ENGINE        that engine refuses as if it took us for a robot\n"
         "  --port ENGINE=PORT      listen on PORT instead of a free port\n"
         "  --exit-on-stdin-eof     also stop when standard input closes\n"
         "Options that take a number apply to every engine; give ENGINE:N to set one\n"
         "engine only (e.g. --total google:30). ENGINE: altavista, excite, hotbot,\n"
         "alltheweb, google, or one of the layouts that definition files describe:\n"
         "duckduckgo, mojeek, wikipedia, searxng, brave, startpage, bing, yahoo.\n"
         "Runs until SIGINT or SIGTERM.\n";
  std::exit(status);
}

TSimConfig config;
TSimLayoutConfig layouts;

// An engine's or a layout's settings, by name.
TSimEngineConfig& SiteArg(const std::string& text) {
  if (auto engine = ParseEngineName(text))
    return config[EngineIndex(*engine)];
  if (auto layout = ParseSimLayout(text))
    return layouts[static_cast<int>(*layout)];
  std::cerr << "quellion-engine-sim: unknown engine '" << text << "'\n";
  Usage(2);
}

int NumberArg(const std::string& text) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < 0 || v > 1000000) {
    std::cerr << "quellion-engine-sim: bad number '" << text << "'\n";
    Usage(2);
  }
  return static_cast<int>(v);
}

// Applies "N" to every engine or "ENGINE:N" to one.
template <typename Set>
void PerEngine(const std::string& value, Set set) {
  const size_t colon = value.find(':');
  if (colon == std::string::npos) {
    for (auto& c : config)
      set(c, NumberArg(value));
    for (auto& c : layouts)
      set(c, NumberArg(value));
  } else {
    set(SiteArg(value.substr(0, colon)), NumberArg(value.substr(colon + 1)));
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool watchStdin = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help")
      Usage(0);
    if (arg == "--exit-on-stdin-eof") {
      watchStdin = true;
      continue;
    }
    if (i + 1 >= argc)
      Usage(2);
    const std::string value = argv[++i];
    if (arg == "--hits-per-page") {
      PerEngine(value, [](TSimEngineConfig& c, int v) { c.HitsPerPage = v; });
    } else if (arg == "--total") {
      PerEngine(value, [](TSimEngineConfig& c, int v) { c.Total = v; });
    } else if (arg == "--overlap") {
      PerEngine(value, [](TSimEngineConfig& c, int v) { c.Overlap = v; });
    } else if (arg == "--delay") {
      PerEngine(value, [](TSimEngineConfig& c, int v) { c.DelayMs = v; });
    } else if (arg == "--dead") {
      SiteArg(value).Mode = TSimMode::Dead;
    } else if (arg == "--silent") {
      SiteArg(value).Mode = TSimMode::Silent;
    } else if (arg == "--endless") {
      SiteArg(value).Mode = TSimMode::Endless;
    } else if (arg == "--blocked") {
      SiteArg(value).Mode = TSimMode::Blocked;
    } else if (arg == "--port") {
      const size_t eq = value.find('=');
      if (eq == std::string::npos)
        Usage(2);
      SiteArg(value.substr(0, eq)).Port = NumberArg(value.substr(eq + 1));
    } else {
      std::cerr << "quellion-engine-sim: unknown option '" << arg << "'\n";
      Usage(2);
    }
  }

  TEngineSimulator simulator(config, layouts);
  try {
    simulator.Start();
  } catch (const std::exception& e) {
    std::cerr << "quellion-engine-sim: " << e.what() << "\n";
    return 1;
  }
  for (TEngine e : kAllEngines) {
    std::string name = EngineName(e);
    for (char& c : name)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::cout << name << " " << simulator.Host(e) << "\n";
  }
  for (TSimLayout layout : kAllSimLayouts)
    std::cout << SimLayoutName(layout) << " " << simulator.LayoutHost(layout) << "\n";
  std::cout.flush();

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
  while (!stopRequested) {
    pollfd in{0, POLLIN, 0};
    const int ready = ::poll(&in, watchStdin ? 1 : 0, 200);
    if (ready > 0 && (in.revents & (POLLIN | POLLHUP | POLLNVAL))) {
      char buffer[256];
      if (::read(0, buffer, sizeof buffer) <= 0)
        break;  // stdin closed: the caller is gone
    }
  }
  simulator.Stop();
  return 0;
}
