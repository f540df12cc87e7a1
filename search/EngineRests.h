#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quellion {

// Engines resting after they refused this client (a "blocked" answer): each engine's
// name with the time its rest ends, in seconds since the epoch. Kept in one small file
// that the window and the CLI share; every change rewrites it whole (temporary file,
// fsync, rename; mode 0600), so a reader sees the old file or the new one. A file that
// is missing, a symbolic link or damaged reads as no rests; a damaged line is skipped.
using TEngineRests = std::vector<std::pair<std::string, int64_t>>;

// $XDG_STATE_HOME/tarnwick-quellion/engine-rests.
std::string DefaultEngineRestsFile();

// The rests of file that end after now.
TEngineRests ReadEngineRests(const std::string& file, int64_t now);
// When engine's rest ends in rests (0: it does not rest).
int64_t RestEnd(const TEngineRests& rests, const std::string& engine);

// Sets engine's rest to end at until (until <= now: ends it) and drops rests that have
// ended. Creates the folder (mode 0700) when needed. False when the file could not be
// written; error then says why.
bool SetEngineRest(const std::string& file, const std::string& engine, int64_t until, int64_t now,
                   std::string& error);

// until as the local time of day, "HH:MM".
std::string RestEndText(int64_t until);

// Seconds since the epoch.
int64_t RestClockNow();

}  // namespace quellion
