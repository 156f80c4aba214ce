#pragma once

#include <string>
#include <string_view>

#include "host/game_types.h"

namespace sim {

// The game's name table: interning a text gives the same FName every time.
FName MakeName(std::string_view text);
// The text of a name; "None" for one never made.
std::string NameText(FName name);

}  // namespace sim
