#pragma once

#include "host/game_types.h"
#include "base/config.h"

// The tier whose limits apply to what a player does: the first of "Tiers", in file order, whose
// permission group the player is in, asked of the permissions library with the player's Steam
// id, one question per tier until the first that answers yes. Null, without a question, when
// there are no tiers, for a null controller and for a Steam id of 0. Game thread only.
const Tier* TierOf(AController* controller);
