#include "cli/Commands.h"

namespace quellion::cli {

// Placeholder until the command is built.
int RunParse(CommandContext& ctx) {
  if (WantsHelp(ctx.args)) {
    ctx.out << "Usage: quellion-cli parse (not built yet)\n";
    return kExitOk;
  }
  throw EUsageError("parse: not available in this build");
}

}  // namespace quellion::cli
