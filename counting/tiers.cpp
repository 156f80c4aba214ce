#include "counting/tiers.h"

#include "base/config.h"
#include "host/ark_api.h"
#include "host/permissions.h"

Tier TierOf(AController* controller) {
  const std::vector<TierSettings>& tiers = CurrentSettings().tiers;
  if (tiers.empty() || controller == nullptr) return {};
  const uint64_t steam_id = ArkApi::GetApiUtils().GetSteamIdFromController(controller);
  if (steam_id == 0) return {};
  // A tier whose group an earlier tier names cannot decide: the earlier one answered first.
  for (std::size_t i = 0; i < tiers.size(); ++i) {
    if (tiers[i].repeats_group) continue;
    if (Permissions::IsPlayerHasPermission(steam_id, tiers[i].group_name)) return {i, &tiers[i]};
  }
  return {};
}
