#include "counting/tiers.h"

#include "host/ark_api.h"
#include "host/permissions.h"

const Tier* TierOf(AController* controller) {
  const std::vector<Tier>& tiers = Tiers();
  if (tiers.empty() || controller == nullptr) return nullptr;
  const uint64_t steam_id = ArkApi::GetApiUtils().GetSteamIdFromController(controller);
  if (steam_id == 0) return nullptr;
  for (const Tier& tier : tiers) {
    if (Permissions::IsPlayerHasPermission(steam_id, tier.group_name)) return &tier;
  }
  return nullptr;
}
