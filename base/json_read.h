#pragma once

#include <cstdint>
#include <string_view>

#include <nlohmann/json.hpp>

// How the plug-in reads values out of a configuration document, in one place for the check and
// the settings.

// The member `key` of `object`, found in place: null when `object` is no object or lacks it.
const nlohmann::json* ConfigMember(const nlohmann::json& object, std::string_view key);

// A JSON number or boolean as the plug-in reads it: fractions cut toward zero and values outside
// the type's range clamped to it; booleans are 1 and 0. Anything else throws the JSON library's
// type error ("type must be number, but is ...").
int32_t ReadInt32(const nlohmann::json& value);
float ReadFloat(const nlohmann::json& value);
