#include "bench/html/PageGenerator.h"

#include <string_view>

namespace quellion::bench {
namespace {

// xorshift32: small, fast and the same everywhere.
class TRandom {
 public:
  explicit TRandom(uint32_t seed) : State(seed ? seed : 0x9e3779b9u) {}
  uint32_t Next() {
    State ^= State << 13;
    State ^= State >> 17;
    State ^= State << 5;
    return State;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }

 private:
  uint32_t State;
};

constexpr std::string_view kWords[] = {
    "search", "engine", "results", "linux",    "desktop",  "tool",    "metasearch",
    "query",  "page",   "free",    "download", "software", "guide",   "news",
    "the",    "and",    "of",      "for",      "with",     "online",  "review",
    "best",   "about",  "home",    "web",      "site",     "index",   "archive",
    "music",  "travel", "weather", "sports",   "science",  "history", "library",
    "open",   "source", "project", "manual",   "support",  "forum",   "mail"};
constexpr std::string_view kTlds[] = {".com", ".org", ".net", ".de", ".co.uk", ".edu"};

std::string_view Word(TRandom& r) {
  return kWords[r.Below(std::size(kWords))];
}

void Words(TRandom& r, int count, std::string& out) {
  for (int i = 0; i < count; ++i) {
    if (i)
      out += ' ';
    out += Word(r);
  }
}

std::string Host(TRandom& r) {
  std::string host = "www.";
  host += Word(r);
  if (r.Below(2)) {
    host += '-';
    host += Word(r);
  }
  host += kTlds[r.Below(std::size(kTlds))];
  return host;
}

void Hit(TRandom& r, int index, std::string& out) {
  const std::string host = Host(r);
  std::string path = "/";
  for (int i = 0, n = 1 + r.Below(3); i < n; ++i) {
    path += Word(r);
    path += '/';
  }
  path += Word(r);
  path += r.Below(2) ? ".html" : ".htm";
  if (r.Below(3) == 0)
    path += "?id=" + std::to_string(r.Below(100000)) + "&amp;lang=en";

  out += "<tr>\n<td valign=top align=right width=30><font face=arial size=-1><b>";
  out += std::to_string(index);
  out += ".</b></font></td>\n<td valign=top><font face=arial>\n<a href=\"http://";
  out += host + path;
  out += "\" target=_top\nonMouseOver=\"window.status='";
  out += host;
  out += "';return true\"><b>";
  Words(r, 3 + r.Below(5), out);
  out += "</b></a></font><br>\n<font face=arial size=-1>";
  const int sentences = 1 + r.Below(3);
  for (int s = 0; s < sentences; ++s) {
    Words(r, 4 + r.Below(8), out);
    if (r.Below(3) == 0) {
      out += " <b>";
      Words(r, 1, out);
      out += "</b> ";
    } else {
      out += ' ';
    }
    Words(r, 3 + r.Below(6), out);
    out += r.Below(4) == 0 ? " &amp; more... " : ". ";
  }
  out += "<br>\n<font color=#008000>";
  out += host + path.substr(0, 30);
  out += " - ";
  out += std::to_string(1 + r.Below(80));
  out += "K - <a href=\"/cache?u=";
  out += host;
  out += "\">Cached</a></font></font>\n<p>\n</td></tr>\n";
}

}  // namespace

std::string MakeResultPage(uint32_t seed, int results) {
  TRandom r(seed);
  std::string out;
  out.reserve(static_cast<size_t>(results) * 700 + 4096);
  out +=
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
      "<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=iso-8859-1\">\n<title>Search results: ";
  Words(r, 2, out);
  out +=
      "</title>\n<style type=\"text/css\">\n<!--\nbody { font-family: arial; }\n"
      "a:link { color: #0000cc; }\n.nav td { padding: 2px; }\n-->\n</style>\n"
      "<script language=\"JavaScript\">\n<!--\nfunction go(u) { if (u.length > 0) "
      "document.location = u; }\n// -->\n</script>\n</head>\n"
      "<body bgcolor=#ffffff text=#000000\nlink=#0000CC vlink=#551a8b>\n"
      "<!-- header -->\n<table border=0 cellpadding=0 cellspacing=0 width=100%>\n"
      "<tr><td><a href=\"/\"><img src=\"/images/logo.gif\" width=200 height=50 "
      "border=0 alt=\"Home\"></a></td>\n<td align=right class=nav>\n";
  for (int i = 0; i < 6; ++i) {
    out += "<a href=\"/";
    out += Word(r);
    out += "\">";
    out += Word(r);
    out += "</a> |\n";
  }
  out +=
      "</td></tr></table>\n<form name=f action=\"/search\" method=get>\n"
      "<input type=text name=q size=40 value=\"";
  Words(r, 2, out);
  out +=
      "\">\n<select name=lang><option value=en selected>English<option "
      "value=de>German<option value=fr>French</select>\n<input type=submit "
      "value=\"Search\">\n</form>\n<hr size=1>\n<font size=-1>Results <b>1</b> - <b>";
  out += std::to_string(results);
  out += "</b> of about <b>";
  out += std::to_string(1000 + r.Below(900000));
  out += "</b>.</font>\n<table border=0 cellpadding=2 cellspacing=0 width=100%>\n";
  for (int i = 1; i <= results; ++i)
    Hit(r, i, out);
  out += "</table>\n<center><font size=-1>Result pages: ";
  for (int i = 1; i <= 10; ++i) {
    out += "<a href=\"/search?q=x&amp;stq=" + std::to_string(i * 10) + "\">";
    out += std::to_string(i);
    out += "</a>&nbsp;\n";
  }
  out +=
      "</font></center>\n<hr size=1>\n<!-- footer -->\n<center><font size=-2>&copy; "
      "2001 Example Search. <a href=\"/about\">About</a> - <a "
      "href=\"/help\">Help</a></font></center>\n</body>\n</html>\n";
  return out;
}

std::string MakeLargePage(size_t bytes) {
  std::string out;
  out.reserve(bytes + 64 * 1024);
  for (uint32_t seed = 1; out.size() < bytes; ++seed)
    out += MakeResultPage(seed, 50);
  return out;
}

}  // namespace quellion::bench
