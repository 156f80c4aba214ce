#pragma once

#include <string>
#include <string_view>

#include "host/game_types.h"

namespace sim {

// The game's name table: interning a text gives the same FName every time.
FName MakeName(std::string_view text);
// The text of a name; "None" for one never made.
std::string NameText(FName name);

// "/Game/A/B.B" or "Blueprint'/Game/A/B.B'" split into package ("/Game/A/B") and object ("B");
// false when the text has no such shape.
bool SplitObjectPath(std::string_view text, std::string& package, std::string& object);

}  // namespace sim
