#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "counting/dino_count_store.h"
#include "base/config.h"

// The lines that tell a team its counts against every limit, shared by /limits and tw.counts.

// A team's count of every configured kind in key order, laid out by Messages.ShowLimitMsg ({0}
// the kind's display name, {1} the count, {2} the kind's limit, the tier's with a tier), then
// Messages.TotalLimitMsg ({0} `total`, {1} `max_amount`), ready for a sender's format step. Reads
// no entry into being. Throws the formatting library's error for a template it rejects.
std::wstring LimitsAnswer(int32_t team_id, int32_t total, int32_t max_amount,
                          const Tier* tier = nullptr);

// The display name of a kind: "Name" of its "Dinos" member, empty when there is none.
std::wstring KindDisplayName(const KindCounts& kind);

// A setting read without a default: section[key] of the live document, or null when either is
// missing, so that reading it as a number or text fails with the JSON library's type error
// ("type must be number, but is null").
const nlohmann::json& RequiredSetting(std::string_view section, std::string_view key);
const nlohmann::json& Required(const nlohmann::json* object, std::string_view key);
