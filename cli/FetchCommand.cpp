#include "cli/Commands.h"

namespace quellion::cli {

// Placeholder until the command is built.
int RunFetch(CommandContext& ctx) {
  if (WantsHelp(ctx.args)) {
    ctx.out << "Usage: quellion-cli fetch (not built yet)\n";
    return kExitOk;
  }
  throw EUsageError("fetch: not available in this build");
}

}  // namespace quellion::cli
