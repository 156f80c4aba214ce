#include "hooks/hooks.h"

void Hook_AShooterCharacter_OnWeaponEquipped(AShooterCharacter* character, AShooterWeapon* weapon) {
  Original<"AShooterCharacter.OnWeaponEquipped">(character, weapon);
}

bool Hook_UPrimalItem_AllowUseInInventory(UPrimalItem* item, bool is_remote_inventory,
                                          AShooterPlayerController* controller,
                                          bool dont_check_actor) {
  return Original<"UPrimalItem.AllowUseInInventory">(item, is_remote_inventory, controller,
                                                     dont_check_actor);
}

bool Hook_UPrimalItem_AllowSlotting(UPrimalItem* item, UPrimalInventoryComponent* inventory,
                                    bool force) {
  return Original<"UPrimalItem.AllowSlotting">(item, inventory, force);
}
