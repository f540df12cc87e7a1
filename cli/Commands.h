#pragma once

#include "cli/CliCommon.h"

namespace quellion::cli {

// One function per command; each returns the exit status and throws EUsageError
// for bad usage. Each prints its own usage for --help.
int RunParse(CommandContext& ctx);
int RunSplit(CommandContext& ctx);
int RunUrl(CommandContext& ctx);
int RunExtract(CommandContext& ctx);
int RunFetch(CommandContext& ctx);
int RunSearch(CommandContext& ctx);
int RunEngines(CommandContext& ctx);

}  // namespace quellion::cli
