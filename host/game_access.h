#pragma once

#include <utility>

#include "host/address.h"
#include "host/game_table.h"

// One-line access to the game by member name, typed from game_table.h:
//   const int team = Field<"AActor.TargetingTeam">(dino);
//   UClass* dino_class = Call<"APrimalDinoCharacter.GetPrivateStaticClass">();

// Calls the game function Name. Arguments convert to its parameter types.
template <GameName Name, typename... Args>
decltype(auto) Call(Args&&... args) {
  using Function = typename GameFunction<Name>::Type;
  auto* function = reinterpret_cast<Function*>(ArkApi::GetAddress(Name.view()));
  return function(std::forward<Args>(args)...);
}

// The field Name of a live object (never null).
template <GameName Name>
typename GameField<Name>::Type& Field(const typename GameField<Name>::Owner* object) {
  return *static_cast<typename GameField<Name>::Type*>(ArkApi::GetAddress(object, Name.view()));
}

// The value of the bit field Name of a live object.
template <GameName Name>
uint64_t BitFieldValue(const typename GameBitField<Name>::Owner* object) {
  const ArkApi::BitField field = ArkApi::GetBitField(object, Name.view());
  const uint64_t mask = field.num_bits >= 64 ? ~0ull : (1ull << field.num_bits) - 1;
  return (static_cast<uint64_t>(*field.word) >> field.bit_position) & mask;
}
