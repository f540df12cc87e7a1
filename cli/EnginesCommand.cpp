#include "cli/Commands.h"
#include "engines/EngineCatalog.h"
#include "search/Engines.h"

namespace quellion::cli {

int RunEngines(CommandContext& ctx) {
  if (WantsHelp(ctx.args)) {
    ctx.out << "Usage: quellion-cli engines\n"
               "Lists every engine, one per line: name, kind (classic, html or json; a\n"
               "definition switched off says so) and source file, tab-separated; then every\n"
               "definition file that could not be loaded: 'invalid', the file and the reason.\n"
               "Definitions are read from these folders; a name in an earlier folder\n"
               "hides the same name in later ones:\n";
    ctx.out << "  " << UserEngineFolder() << "  (your own)\n";
    for (const std::string& folder : ShippedEngineFolders())
      ctx.out << "  " << folder << '\n';
    return kExitOk;
  }
  if (!ctx.args.empty())
    throw EUsageError("engines: unexpected argument '" + ctx.args[0] + "'");

  for (TEngine engine : kAllEngines)
    ctx.out << EngineName(engine) << "\tclassic\tbuilt in\n";
  const TEngineCatalog catalog = LoadEngineCatalog();
  for (const TEngineDefinition& d : catalog.Engines) {
    ctx.out << d.Name << '\t' << (d.Type == TDefinitionType::Html ? "html" : "json")
            << (d.Enabled ? "" : ", disabled") << '\t' << d.SourceFile << '\n';
  }
  for (const TInvalidDefinition& bad : catalog.Invalid)
    ctx.out << "invalid\t" << bad.File << '\t' << Escape(bad.Reason) << '\n';
  for (const std::string& warning : catalog.Warnings)
    ctx.err << "warning: " << warning << '\n';
  return kExitOk;
}

}  // namespace quellion::cli
