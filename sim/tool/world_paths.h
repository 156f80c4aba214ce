#pragma once

#include <cstdint>

// Real game paths and numbers the script language builds its things from.
namespace sim::tool {

// The empty cryopod, and the soul trap that a creature storage mod adds, as the game names them.
inline constexpr char kCryopodPath[] =
    "/Game/Extinction/CoreBlueprints/Weapons/PrimalItem_WeaponEmptyCryopod."
    "PrimalItem_WeaponEmptyCryopod";
inline constexpr char kSoulTrapPath[] = "/Game/Mods/DinoStorage2/SoulTrap_DS.SoulTrap_DS";

// Creatures the verbs' examples name.
inline constexpr char kRexPath[] = "/Game/PrimalEarth/Dinos/Rex/Rex_Character_BP.Rex_Character_BP";
inline constexpr char kRaptorPath[] =
    "/Game/PrimalEarth/Dinos/Raptor/Raptor_Character_BP.Raptor_Character_BP";

// Steam gives individual accounts ids from here on; a player without steam= gets base + id.
inline constexpr uint64_t kSteamIdBase = 76561197960265728ull;

}  // namespace sim::tool
