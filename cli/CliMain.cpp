#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "cli/CliCommon.h"
#include "cli/Commands.h"
#include "platform/TextEncoding.h"

// The build passes the project's version (cli/CMakeLists.txt).
#ifndef QUELLION_VERSION
#error "the build must define QUELLION_VERSION"
#endif

namespace quellion::cli {
namespace {

constexpr const char* kUsage =
    "Usage: quellion-cli COMMAND [OPTIONS] [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  search [options] KEYWORDS        run one whole search and print the results\n"
    "  engines                          list every engine and every broken definition\n"
    "  fetch [proxy options] [--timeout SECONDS] [--ca-file FILE] URL\n"
    "                                   fetch URL as an engine task does\n"
    "  extract ENGINE [--max-sites N] [FILE...]\n"
    "                                   run ENGINE's extraction rule on saved pages\n"
    "  extract --definition FILE [--url ADDRESS] [--language N]\n"
    "          [--max-sites N] [PAGE...]\n"
    "                                   run a definition file on saved pages\n"
    "  url ENGINE [--language N] [--counter N] [--host HOST] KEYWORDS\n"
    "                                   print one request address of ENGINE\n"
    "  parse [--events] [FILE]          print the HTML parser's tree (or its events)\n"
    "  split [TEXT]                     run the tag splitter on TEXT or standard input\n"
    "\n"
    "ENGINE is one of altavista, excite, hotbot, alltheweb, google (any letter case);\n"
    "search --engines also takes the names of defined engines ('quellion-cli engines').\n"
    "Run 'quellion-cli COMMAND --help' (or -h) for a command's options,\n"
    "'quellion-cli --version' for the version. See quellion-cli(1).\n";

}  // namespace

std::string Escape(std::string_view s) {
  static const char* hex = "0123456789abcdef";
  std::string out;
  out.reserve(s.size());
  for (unsigned char c : s) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\x";
          out += hex[c >> 4];
          out += hex[c & 0xF];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

std::string Quoted(std::string_view s) {
  return "\"" + Escape(s) + "\"";
}

std::string ReadInput(const std::string& name, std::istream& in) {
  const std::string shown = name.empty() || name == "-" ? std::string("standard input") : name;
  std::ifstream file;
  std::istream* source = &in;
  if (!name.empty() && name != "-") {
    // A folder opens like a file and reads as nothing: refuse it by name.
    std::error_code ignored;
    if (std::filesystem::is_directory(name, ignored))
      throw EException("cannot read " + name + ": " + std::strerror(EISDIR));
    file.open(name, std::ios::binary);
    if (!file)
      throw EException("cannot read " + name + ": " + std::strerror(errno));
    source = &file;
  }
  // Read in pieces up to one byte past the cap: /dev/zero or an endless pipe ends here
  // instead of taking all memory.
  std::string data;
  char buffer[65536];
  while (data.size() <= kMaxInputSize) {
    source->read(buffer, sizeof buffer);
    const std::streamsize got = source->gcount();
    data.append(buffer, static_cast<std::size_t>(got));
    if (got < static_cast<std::streamsize>(sizeof buffer))
      break;
  }
  if (source->bad())
    throw EException("cannot read " + shown + ": read error");
  if (data.size() > kMaxInputSize)
    throw EException("cannot read " + shown + ": larger than 64 MiB");
  return data;
}

int ParseNumber(const std::string& text, const std::string& option) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || value < INT_MIN || value > INT_MAX ||
      std::isspace(static_cast<unsigned char>(text[0])))
    throw EUsageError("bad number for " + option + ": '" + text + "'");
  return static_cast<int>(value);
}

bool WantsHelp(const std::vector<std::string>& args) {
  for (const auto& a : args) {
    if (a == "--")
      return false;  // after it, nothing is an option
    if (a == "--help" || a == "-h")
      return true;
  }
  return false;
}

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err) {
  try {
    if (args.empty()) {
      err << "quellion-cli: missing command\n\n" << kUsage;
      return kExitUsage;
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
      out << kUsage;
      return kExitOk;
    }
    if (command == "--version") {
      out << "quellion-cli " QUELLION_VERSION "\n";
      return kExitOk;
    }
    CommandContext ctx{std::vector<std::string>(args.begin() + 1, args.end()), in, out, err};
    if (command == "parse")
      return RunParse(ctx);
    if (command == "split")
      return RunSplit(ctx);
    if (command == "url")
      return RunUrl(ctx);
    if (command == "extract")
      return RunExtract(ctx);
    if (command == "fetch")
      return RunFetch(ctx);
    if (command == "search")
      return RunSearch(ctx);
    if (command == "engines")
      return RunEngines(ctx);
    throw EUsageError("unknown command '" + command + "' (try --help)");
  } catch (const EUsageError& e) {
    // Messages may quote a file's, a page's or a server's text: no control reaches the
    // terminal.
    err << "quellion-cli: " << ShownOnTerminal(e.Message) << "\n";
    return kExitUsage;
  } catch (const std::exception& e) {
    err << "quellion-cli: " << ShownOnTerminal(e.what()) << "\n";
    return kExitFailed;
  }
}

}  // namespace quellion::cli
