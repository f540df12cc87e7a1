#include "cli/Commands.h"
#include "cli/SearchOptions.h"
#include "search/PageExtractor.h"
#include "search/ResultTable.h"

namespace quellion::cli {

int RunExtract(CommandContext& ctx) {
  if (WantsHelp(ctx.args)) {
    ctx.out << "Usage: quellion-cli extract ENGINE [--max-sites N] [FILE...]\n"
               "Runs ENGINE's extraction rule on the pages (standard input without FILE or\n"
               "for '-') as successive pages of one engine task, offering every hit to an\n"
               "empty results table of at most N rows (default 1000). One line per hit:\n"
               "'+' (added) or '-' (refused), then title, URL and description, tab-separated.\n"
               "Exit 3 when the rule ends the task.\n";
    return kExitOk;
  }
  std::vector<std::string> words;
  int maxSites = 1000;
  TArgReader reader(ctx.args);
  while (const auto next = reader.NextOption(words)) {
    const std::string& option = *next;
    if (option == "--max-sites") {
      maxSites = ParseNumber(reader.Value(option), option);
    } else {
      throw EUsageError("extract: unknown option '" + option + "'");
    }
  }
  if (words.empty())
    throw EUsageError("extract: missing ENGINE (try --help)");
  const TEngine engine = ParseEngineArgument(words[0]);
  std::vector<std::string> files(words.begin() + 1, words.end());
  if (files.empty())
    files.push_back("-");

  TResultTable table;
  table.Empty();
  TPageExtractor extractor(engine);
  auto mayReadBlock = [&] { return table.RowCount() < maxSites; };  // Searching is up
  auto sink = [&](const THit& hit) {
    const bool added =
        table.AppendUnique(hit.Title, hit.URL, hit.Description, EngineName(engine), maxSites);
    ctx.out << (added ? '+' : '-') << '\t' << Escape(hit.Title) << '\t' << Escape(hit.URL) << '\t'
            << Escape(hit.Description) << '\n';
  };
  for (const std::string& file : files) {
    const std::string page = ReadInput(file, ctx.in);
    try {
      extractor.Extract(page, mayReadBlock, sink);
    } catch (const ERuleFailed&) {
      ctx.out.flush();
      ctx.err << "task ended\n";
      return kExitTaskEnded;
    }
  }
  return kExitOk;
}

}  // namespace quellion::cli
