#pragma once

#include "host/game_types.h"

// Empties the count store and rebuilds it from the configuration and the running level: every
// member of "Dinos" becomes a kind (names widened byte by byte; names equal ignoring case make
// one kind, the first in the section's order), then every living creature of a recounted team
// (game_facts::IsRecountedTeam) counts once for its team and, when configured, for its kind. Throws
// the JSON library's errors for a "Dinos" section or member of the wrong type; what was counted
// before stays. Counts nothing when the host has no world.
void UpdateDinoCountAll();
