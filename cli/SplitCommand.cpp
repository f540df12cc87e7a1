#include <string>
#include <vector>

#include "cli/Commands.h"
#include "html/TagSplitter.h"

namespace quellion::cli {
namespace {

constexpr const char* kSplitUsage =
    "Usage: quellion-cli split [TEXT]\n"
    "\n"
    "Runs the tag splitter on TEXT (or on all of standard input when TEXT is absent)\n"
    "and prints the name on the first line and each attribute on its own line after\n"
    "it, each as a quoted, escaped string. Use '--' before a TEXT that starts with '--'.\n"
    "Standard input larger than 64 MiB is refused (exit 1).\n";

}  // namespace

int RunSplit(CommandContext& ctx) {
  if (WantsHelp(ctx.args)) {
    ctx.out << kSplitUsage;
    return kExitOk;
  }
  bool optionsDone = false;
  std::vector<std::string> texts;
  for (const auto& arg : ctx.args) {
    if (!optionsDone && arg == "--") {
      optionsDone = true;
    } else if (!optionsDone && arg.rfind("--", 0) == 0) {
      throw EUsageError("split: unknown option '" + arg + "'");
    } else {
      texts.push_back(arg);
    }
  }
  if (texts.size() > 1)
    throw EUsageError("split: too many arguments (one TEXT at most)");
  const std::string text = texts.empty() ? ReadInput("-", ctx.in) : texts[0];

  std::vector<std::string> attributes;
  std::string name;
  SplitTag(text, attributes, name);
  std::string output = Quoted(name) + "\n";
  for (const auto& attribute : attributes)
    output += Quoted(attribute) + "\n";
  ctx.out << output;
  return kExitOk;
}

}  // namespace quellion::cli
