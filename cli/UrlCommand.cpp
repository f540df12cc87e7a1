#include <optional>

#include "cli/Commands.h"
#include "cli/SearchOptions.h"
#include "cli/StoredDefaults.h"
#include "search/QueryBuilder.h"

namespace quellion::cli {

int RunUrl(CommandContext& ctx) {
  if (WantsHelp(ctx.args)) {
    ctx.out << "Usage: quellion-cli url ENGINE [--language N] [--counter N] [--host HOST] "
               "KEYWORDS\n"
               "Prints the address of one request of ENGINE for KEYWORDS (used exactly as\n"
               "given): the first request's, or with --counter the later request's for page\n"
               "counter N. --language defaults to the stored language; --host overrides the\n"
               "engine's web search host.\n";
    return kExitOk;
  }
  std::vector<std::string> words;
  std::optional<int> language, counter;
  std::optional<std::string> host;
  TArgReader reader(ctx.args);
  while (const auto next = reader.NextOption(words)) {
    const std::string& option = *next;
    if (option == "--language") {
      language = ParseNumber(reader.Value(option), option);
    } else if (option == "--counter") {
      counter = ParseNumber(reader.Value(option), option);
    } else if (option == "--host") {
      host = reader.Value(option);
    } else {
      throw EUsageError("url: unknown option '" + option + "'");
    }
  }
  if (words.size() < 2)
    throw EUsageError("url: missing ENGINE or KEYWORDS (try --help)");
  if (words.size() > 2)
    throw EUsageError("url: too many arguments (KEYWORDS is one argument)");
  const TEngine engine = ParseEngineArgument(words[0]);

  if (!language || !host) {
    const TStoredDefaults stored = ReadStoredDefaults();
    if (!language)
      language = stored.LanguageIndex;
    if (!host) {
      const std::string& storedHost = stored.EngineHosts[EngineIndex(engine)];
      host = storedHost.empty() ? DefaultEngineHost(engine) : storedHost;
    }
  }
  ctx.out << FirstPageAddress(engine, *host, EncodeKeywords(words[1]), *language)
          << (counter ? PageSuffix(engine, *counter) : FirstPageSuffix(engine)) << "\n";
  return kExitOk;
}

}  // namespace quellion::cli
