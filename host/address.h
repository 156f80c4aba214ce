#pragma once

#include <cstdint>
#include <string_view>

#include "host/host_api.h"

// Name-based access to the running game, the only way a plug-in reaches game code and data.
// All of these are called on the game thread.
namespace ArkApi {

// The game function or global named "Class.Member", or null when the game has no such name.
// A hooked function's address still leads through its hooks.
TW_HOST_API void* GetAddress(std::string_view name);

// The field "Class.Field" inside `object`. The object must be a live object of that class (or,
// for a record such as "FTribeData.TribeID", point to such a record); anything else is a fault of
// the caller, as reading a wrong address would be in the game.
TW_HOST_API void* GetAddress(const void* object, std::string_view name);

// Where a one-or-more-bit field lives: value = (*word >> bit_position) masked to num_bits.
struct BitField {
  uint32_t* word;
  uint32_t bit_position;
  uint64_t num_bits;
};

TW_HOST_API BitField GetBitField(const void* object, std::string_view name);

}  // namespace ArkApi
