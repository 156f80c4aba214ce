#pragma once

#include "host/game_types.h"

// Empties the count store and rebuilds it from the configuration and the running level: every
// member of "Dinos" becomes a kind (names widened byte by byte; names equal ignoring case make
// one kind, the first in the section's order), then every living creature of a recounted team
// (game_facts::IsRecountedTeam) counts once for its team and, when configured, for its kind. Throws
// the JSON library's errors for a "Dinos" section or member of the wrong type; what was counted
// before stays. Counts nothing when the host has no world.
void UpdateDinoCountAll();

// Runs once a second of game time on the framework's timer: a full recount each time
// General.RecountIntervalSeconds have passed since the last one (never while it is 0), so that
// creatures no hooked function reports (such as one released from a cryopod) are counted
// within that time. A failing recount is logged at error level and leaves the counts as they
// were.
void RecountOnTimer();
