#pragma once

#include "host/game_types.h"

// Rebuilds every count from the running level, aside, and puts them in place of the store's:
// every living creature of a recounted team (game_facts::IsRecountedTeam) counts once for its
// team and, when its kind is configured, for its kind. When the live settings are not those the
// store's kinds came from, the kinds are made anew from them first (see DinoCountStore). A
// failure (the game's, or memory) throws and leaves the store as it was. Counts nothing when the
// host has no world.
void UpdateDinoCountAll();

// Runs once a second of game time on the framework's timer: a full recount each time
// General.RecountIntervalSeconds have passed since the last one (never while it is 0), so that
// creatures no hooked function reports (such as one released from a cryopod) are counted
// within that time. A failing recount is logged at error level and leaves the counts as they
// were.
void RecountOnTimer();
