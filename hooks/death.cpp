#include "hooks/hooks.h"

bool Hook_APrimalDinoCharacter_Die(APrimalDinoCharacter* dino, float killing_damage,
                                   FDamageEvent* damage_event, AController* killer,
                                   AActor* damage_causer) {
  return Original<"APrimalDinoCharacter.Die">(dino, killing_damage, damage_event, killer,
                                              damage_causer);
}

void Hook_APrimalDinoCharacter_Destroyed(APrimalDinoCharacter* dino) {
  Original<"APrimalDinoCharacter.Destroyed">(dino);
}
