#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// A path without the Blueprint'...' around it, as a soul trap stores it.
inline std::string BarePath(std::string_view path) {
  constexpr std::string_view prefix = "Blueprint'";
  if (path.starts_with(prefix) && path.size() > prefix.size() && path.ends_with('\''))
    path = path.substr(prefix.size(), path.size() - prefix.size() - 1);
  return std::string(path);
}

}  // namespace sim::tool
