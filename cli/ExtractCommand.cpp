#include <optional>

#include "cli/Commands.h"
#include "cli/SearchOptions.h"
#include "engines/DefinitionExtractor.h"
#include "engines/RequestAddress.h"
#include "platform/TextEncoding.h"
#include "search/ClassicRules.h"
#include "search/ResultTable.h"

namespace quellion::cli {
namespace {

// extract --definition: the definition's rules on saved pages, as successive pages
// of one task. Relative addresses are resolved against ADDRESS (default: the
// definition's first-page address for empty keywords).
int RunDefinitionExtract(CommandContext& ctx, const std::string& definitionFile,
                         const std::optional<std::string>& pageUrl, int language, int maxSites,
                         std::vector<std::string> pages) {
  const TDefinitionLoad load = LoadDefinitionFile(definitionFile);
  for (const std::string& warning : load.Warnings)
    ctx.err << "warning: " << ShownOnTerminal(definitionFile + ": " + warning, "") << "\n";
  if (!load.Definition)
    throw EException(definitionFile + ": " + load.Error);
  const TEngineDefinition& definition = *load.Definition;
  const std::string address = pageUrl.value_or(RequestAddress(definition, "", language, 0));
  if (pages.empty())
    pages.push_back("-");

  TResultTable table;
  table.Empty();
  TDefinitionExtractor extractor(definition, DefinitionLanguage(definition, language));
  auto mayGoOn = [&] { return table.RowCount() < maxSites; };
  auto sink = [&](const THit& hit) {
    const bool added =
        table.AppendUnique(hit.Title, hit.URL, hit.Description, definition.Name, maxSites);
    ctx.out << (added ? '+' : '-') << '\t' << Escape(hit.Title) << '\t' << Escape(hit.URL) << '\t'
            << Escape(hit.Description) << '\n';
  };
  for (const std::string& file : pages)
    if (extractor.Extract(ReadInput(file, ctx.in), "", address, mayGoOn, sink))
      ctx.err << ShownOnTerminal(file, "")
              << ": a challenge page (the engine would count as blocked)\n";
  return kExitOk;
}

}  // namespace

int RunExtract(CommandContext& ctx) {
  if (WantsHelp(ctx.args)) {
    ctx.out << "Usage: quellion-cli extract ENGINE [--max-sites N] [FILE...]\n"
               "Runs ENGINE's extraction rule on the pages (standard input without FILE or\n"
               "for '-') as successive pages of one engine task, offering every hit to an\n"
               "empty results table of at most N rows (default 1000). One line per hit:\n"
               "'+' (added) or '-' (refused), then title, URL and description, tab-separated.\n"
               "Exit 3 when the rule ends the task. A page larger than 64 MiB is refused\n"
               "(exit 1).\n"
               "\n"
               "Usage: quellion-cli extract --definition FILE [--url ADDRESS] [--language N]\n"
               "                            [--max-sites N] [PAGE...]\n"
               "Runs the engine definition FILE on saved pages (HTML or JSON) and prints the\n"
               "same lines. ADDRESS is where the pages came from, for relative links\n"
               "(default: the definition's first-page address). N is the language index, as\n"
               "for search (default 0, any language). Exit 1 when FILE is invalid.\n";
    return kExitOk;
  }
  std::vector<std::string> words;
  int maxSites = 1000;
  std::optional<int> language;
  std::optional<std::string> definition, pageUrl;
  TArgReader reader(ctx.args);
  while (const auto next = reader.NextOption(words)) {
    const std::string& option = *next;
    if (option == "--max-sites") {
      maxSites = ParseNumber(reader.Value(option), option);
    } else if (option == "--definition") {
      definition = reader.Value(option);
    } else if (option == "--url") {
      pageUrl = reader.Value(option);
    } else if (option == "--language") {
      language = ParseNumber(reader.Value(option), option);
    } else {
      throw EUsageError("extract: unknown option '" + option + "'");
    }
  }
  if (definition)
    return RunDefinitionExtract(ctx, *definition, pageUrl, language.value_or(0), maxSites, words);
  if (pageUrl)
    throw EUsageError("extract: --url goes with --definition");
  if (language)
    throw EUsageError("extract: --language goes with --definition");
  if (words.empty())
    throw EUsageError("extract: missing ENGINE (try --help)");
  const TEngine engine = ParseEngineArgument(words[0]);
  std::vector<std::string> files(words.begin() + 1, words.end());
  if (files.empty())
    files.push_back("-");

  TResultTable table;
  table.Empty();
  TClassicRules rules(engine);
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
      rules.Extract(page, mayReadBlock, sink);
    } catch (const ERuleFailed&) {
      ctx.out.flush();
      ctx.err << "task ended\n";
      return kExitTaskEnded;
    }
  }
  return kExitOk;
}

}  // namespace quellion::cli
