#include <string>
#include <utility>
#include <vector>

#include "cli/Commands.h"
#include "html/HtmlParser.h"

namespace quellion::cli {
namespace {

constexpr const char* kParseUsage =
    "Usage: quellion-cli parse [--events] [FILE]\n"
    "\n"
    "Parses the HTML page in FILE (or standard input when FILE is absent or '-') and\n"
    "prints the tree below the root, one node per line, indented two spaces per depth:\n"
    "  <NodeType> \"<Name>\" \"<Text>\"[ /][ \"<attribute>\"]...\n"
    "Syntax warnings go to standard error as 'warning: <text>'. Input larger than\n"
    "64 MiB is refused (exit 1).\n"
    "\n"
    "Options:\n"
    "  --events   print the parser's events in the order fired instead of the tree\n";

void PrintNode(std::ostream& out, const THierarchyNode& node, size_t depth) {
  std::string line(2 * depth, ' ');
  line += std::to_string(node.NodeType);
  line += ' ';
  line += Quoted(node.Name);
  line += ' ';
  line += Quoted(node.Text);
  if (auto* tag = dynamic_cast<const TTagNode*>(&node); tag && tag->Empty)
    line += " /";
  for (const auto& attribute : node.Attributes) {
    line += ' ';
    line += Quoted(std::string(attribute));
  }
  line += '\n';
  out << line;
}

void PrintTree(std::ostream& out, const THierarchyNode& root) {
  WalkDescendants(root, [&out](const THierarchyNode& node, size_t depth) {
    PrintNode(out, node, depth);
    return TVisit::Descend;
  });
}

}  // namespace

int RunParse(CommandContext& ctx) {
  if (WantsHelp(ctx.args)) {
    ctx.out << kParseUsage;
    return kExitOk;
  }
  bool events = false;
  bool optionsDone = false;
  std::vector<std::string> files;
  for (const auto& arg : ctx.args) {
    if (!optionsDone && arg == "--") {
      optionsDone = true;
    } else if (!optionsDone && arg == "--events") {
      events = true;
    } else if (!optionsDone && arg.size() > 1 && arg[0] == '-' && arg != "-") {
      throw EUsageError("parse: unknown option '" + arg + "'");
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() > 1)
    throw EUsageError("parse: too many arguments (one FILE at most)");
  const std::string page = ReadInput(files.empty() ? std::string() : files[0], ctx.in);

  THTMLParser parser;
  parser.OnSyntaxWarning = [&](THTMLParser*, const std::string& text) {
    ctx.err << "warning: " << text << "\n";
    if (events)
      ctx.out << "warning " << Quoted(text) << "\n";
  };
  if (events) {
    parser.OnStartTag = [&](THTMLParser*, TTagNode* node) {
      ctx.out << "start " << Quoted(node->Name) << "\n";
    };
    parser.OnHTMLTag = [&](THTMLParser*, TTagNode* node) {
      ctx.out << "tag " << Quoted(node->Name) << "\n";
    };
    parser.OnEndTag = [&](THTMLParser*, const std::string& text) {
      ctx.out << "end " << Quoted(text) << "\n";
    };
  }
  parser.Parse(page);
  if (!events)
    PrintTree(ctx.out, *parser.Root());
  return kExitOk;
}

}  // namespace quellion::cli
