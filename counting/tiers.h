#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/config.h"
#include "base/settings.h"
#include "host/game_types.h"

// A tier: the limits of "Tiers" for the players of a permission group. A value: no tier (the
// base limits) when it names no settings.
struct Tier {
  std::size_t index = 0;                   // its place in the settings' tiers
  const TierSettings* settings = nullptr;  // of the live settings, for the call at hand

  explicit operator bool() const { return settings != nullptr; }
  bool unlimited() const { return settings != nullptr && settings->unlimited; }
};

// The tier whose limits apply to what a player does: the first of "Tiers", in file order, whose
// permission group the player is in, asked of the permissions library with the player's Steam
// id, one question per group (in the order of the tiers that first name each) until the first
// that answers yes. None, without a question, when
// there are no tiers, for a null controller and for a Steam id of 0. Game thread only.
Tier TierOf(AController* controller);

// The most creatures a team may own under a tier: its MaxAmount, else General.MaxAmount; nothing
// when neither is written.
inline std::optional<int32_t> MaxAmountFor(Tier tier) {
  if (tier && tier.settings->max_amount) return tier.settings->max_amount;
  return CurrentSettings().general.max_amount;
}
// The same as the checks apply it: 0 (every gain refused) when neither is written.
inline int32_t TotalLimitFor(Tier tier) { return MaxAmountFor(tier).value_or(0); }
