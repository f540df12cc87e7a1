#include "cli/Commands.h"

namespace quellion::cli {

// Placeholder until the command is built.
int RunSearch(CommandContext& ctx) {
  if (WantsHelp(ctx.args)) {
    ctx.out << "Usage: quellion-cli search (not built yet)\n";
    return kExitOk;
  }
  throw EUsageError("search: not available in this build");
}

}  // namespace quellion::cli
