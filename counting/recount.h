#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "host/game_types.h"

// What one recount found: the creatures and teams it counted, and how many teams' counts (their
// total, or their count of a kind the store already had) differ from what the store held before,
// that is, how far the store had drifted from the level.
struct RecountResult {
  std::size_t creatures = 0;
  std::size_t teams = 0;
  std::size_t corrected = 0;
  bool held_none = false;  // the store held no team's count before
};

// Rebuilds every count from the running level, aside, and puts them in place of the store's:
// every living creature of a recounted team (game_facts::IsRecountedTeam) counts once for its
// team and, when its kind is configured, for its kind. When the live settings are not those the
// store's kinds came from, the kinds are made anew from them first (see DinoCountStore). A
// failure (the game's, or memory) throws and leaves the store as it was. Counts nothing when the
// host has no world.
RecountResult UpdateDinoCountAll();

// What started a recount, as its line names it.
enum class RecountReason { kWorldStart, kLoad, kReload, kUpdateDinos, kTimer };

// UpdateDinoCountAll, timed, then one info line, which is returned and kept for LastRecountLine:
// "Recount (UpdateDinos): 1234 creatures of 56 teams in 4 ms, 3 team counts corrected". The
// first count after a load or at world start, with nothing held before, has nothing to correct and
// says so: "..., the first count since the plug-in loaded". A failure throws as UpdateDinoCountAll
// does, with no line.
std::string Recount(RecountReason reason);

// The line of the last recount that ended, empty before the first.
const std::string& LastRecountLine();

// Runs once a second of game time on the framework's timer: a full recount each time
// General.RecountIntervalSeconds have passed since the last one (never while it is 0), so that
// creatures no hooked function reports (such as one released from a cryopod) are counted
// within that time. A failing recount is logged at error level and leaves the counts as they
// were.
void RecountOnTimer();
