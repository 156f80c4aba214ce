#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "counting/dino_count_store.h"
#include "counting/tiers.h"

// The lines that tell a team its counts against every limit, shared by /limits and tw.counts.

// A team's count of every configured kind in key order, laid out by Messages.ShowLimitMsg ({0}
// the kind's display name, {1} the count, {2} the kind's limit, the tier's with a tier), then
// Messages.TotalLimitMsg ({0} the team's total, {1} `max_amount`), ready for a sender's format
// step. Throws the formatting library's error for a template it rejects.
std::wstring LimitsAnswer(int32_t team_id, int32_t max_amount, Tier tier = {});

// What the log says when /limits or tw.counts lacks a number or text it needs: the words the
// owners have always read there, the JSON library's for a missing value.
inline constexpr std::string_view kMissingNumber =
    "[json.exception.type_error.302] type must be number, but is null";
inline constexpr std::string_view kMissingText =
    "[json.exception.type_error.302] type must be string, but is null";
