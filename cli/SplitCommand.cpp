#include "cli/Commands.h"

namespace quellion::cli {

// Placeholder until the command is built.
int RunSplit(CommandContext& ctx) {
  if (WantsHelp(ctx.args)) {
    ctx.out << "Usage: quellion-cli split (not built yet)\n";
    return kExitOk;
  }
  throw EUsageError("split: not available in this build");
}

}  // namespace quellion::cli
