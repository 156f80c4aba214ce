#pragma once

#include <type_traits>
#include <utility>

#include "host/game_table.h"
#include "sim/framework/call_trace.h"
#include "sim/framework/registry.h"
#include "sim/game/objects.h"

// Typed registration of the game's members under their names. Each checks the implementation's
// type against the game table, so the plug-in and the game cannot disagree on a signature.
namespace sim {

template <GameName Name, typename F = typename GameFunction<Name>::Type>
struct Hookable;

template <GameName Name, typename R, typename... A>
struct Hookable<Name, R(A...)> {
  // Where the game's calls of the function go: its own function, or the newest detour.
  static inline R (*slot)(A...) = nullptr;

  // The function's address as the game calls it: always through the slot.
  static R Entry(A... args) { return slot(std::forward<A>(args)...); }

  // The game's own function, noting for the call trace that it ran and what it answered.
  template <auto Implementation>
  static R Own(A... args) {
    NoteCalled(Name.view());
    if constexpr (std::is_void_v<R>) {
      Implementation(std::forward<A>(args)...);
    } else {
      R result = Implementation(std::forward<A>(args)...);
      NoteOwnAnswer(Name.view(), ResultValue(result));
      return result;
    }
  }
};

template <GameName Name, auto Implementation>
void RegisterFunction(Registry& registry) {
  static_assert(std::is_same_v<decltype(Implementation), typename GameFunction<Name>::Type*>,
                "the implementation's type differs from the game table");
  registry.AddFunction(Name.view(), reinterpret_cast<void*>(Implementation));
}

template <GameName Name, auto Implementation>
void RegisterHookable(Registry& registry) {
  static_assert(std::is_same_v<decltype(Implementation), typename GameFunction<Name>::Type*>,
                "the implementation's type differs from the game table");
  using H = Hookable<Name>;
  H::slot = &H::template Own<Implementation>;
  registry.AddHookable(Name.view(), reinterpret_cast<void*>(&H::Entry),
                       reinterpret_cast<void**>(&H::slot), reinterpret_cast<void*>(H::slot));
}

template <typename Owner, typename T>
Owner OwnerOf(T Owner::*);

// The host type a game-side record appears as; most are their own.
template <typename T>
struct HostTypeOf {
  using type = T;
};
template <>
struct HostTypeOf<TribeData> {
  using type = FTribeData;
};

template <GameName Name, auto Member>
void RegisterField(Registry& registry) {
  using Owner = decltype(OwnerOf(Member));
  using Type = std::remove_reference_t<decltype(std::declval<Owner&>().*Member)>;
  static_assert(std::is_same_v<typename HostTypeOf<Type>::type, typename GameField<Name>::Type>,
                "the field's type differs from the game table");
  Registry::Field field{};
  field.address = [](void* object) -> void* {
    if constexpr (std::is_base_of_v<Object, Owner>) {
      return &(FromHost<Owner>(object)->*Member);
    } else {
      return &(static_cast<Owner*>(object)->*Member);
    }
  };
  if constexpr (std::is_base_of_v<Object, Owner>) field.owner = &Owner::StaticClass;
  registry.AddField(Name.view(), field);
}

template <GameName Name, auto Member, uint32_t Bit>
void RegisterBitField(Registry& registry) {
  using Owner = decltype(OwnerOf(Member));
  static_assert(std::is_same_v<decltype(std::declval<Owner&>().*Member), uint32_t&>);
  static_assert(Bit < 32);
  registry.AddBitField(Name.view(),
                       {&Owner::StaticClass,
                        [](void* object) { return &(FromHost<Owner>(object)->*Member); }, Bit, 1});
}

}  // namespace sim
