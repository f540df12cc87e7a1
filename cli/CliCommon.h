#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Exception.h"

namespace quellion::cli {

// Exit statuses of quellion-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitTaskEnded = 3;

// Bad usage: reported as "quellion-cli: <message>" on stderr with exit status 2.
class EUsageError : public EException {
 public:
  using EException::EException;
};

// The arguments of one command (after the command word) and its output streams.
struct CommandContext {
  std::vector<std::string> args;
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
};

// esc(s): every byte as it is, except \ " LF CR TAB and other bytes below 0x20 or
// 0x7F, which are escaped; bytes 0x80..0xFF are written raw.
std::string Escape(std::string_view s);
// "\"" + Escape(s) + "\""
std::string Quoted(std::string_view s);

// The most ReadInput() takes: 64 MiB.
inline constexpr std::size_t kMaxInputSize = 64u * 1024 * 1024;

// Reads a whole file as raw bytes; "-" or an empty name reads the input stream.
// Throws EException("cannot read <name>: <reason>") when it cannot be read or holds more
// than kMaxInputSize bytes.
std::string ReadInput(const std::string& name, std::istream& in);

// Parses a decimal 32-bit integer (optional sign); throws EUsageError naming the
// option when the text is not one.
int ParseNumber(const std::string& text, const std::string& option);

// True when args contains "--help" or "-h" (before any "--").
bool WantsHelp(const std::vector<std::string>& args);

// Runs quellion-cli with argv-style arguments (without the program name).
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err);

}  // namespace quellion::cli
