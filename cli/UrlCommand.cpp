#include "cli/Commands.h"

namespace quellion::cli {

// Placeholder until the command is built.
int RunUrl(CommandContext& ctx) {
  if (WantsHelp(ctx.args)) {
    ctx.out << "Usage: quellion-cli url (not built yet)\n";
    return kExitOk;
  }
  throw EUsageError("url: not available in this build");
}

}  // namespace quellion::cli
