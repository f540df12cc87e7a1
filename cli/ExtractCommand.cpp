#include "cli/Commands.h"

namespace quellion::cli {

// Placeholder until the command is built.
int RunExtract(CommandContext& ctx) {
  if (WantsHelp(ctx.args)) {
    ctx.out << "Usage: quellion-cli extract (not built yet)\n";
    return kExitOk;
  }
  throw EUsageError("extract: not available in this build");
}

}  // namespace quellion::cli
