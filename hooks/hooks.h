#pragma once

#include "host/game_table.h"

// The game's own function behind each hooked name: the framework writes its address here when
// the hook is installed, before the detour can run. Detours call it to let the game go on.
template <GameName Name>
inline typename GameFunction<Name>::Type* Original = nullptr;

// A detour has exactly the type game_table.h gives the function it stands in for; each one below
// is declared through it, so a definition with another signature is no detour and fails to link.
template <GameName Name>
using Detour = typename GameFunction<Name>::Type;

// The detour of a hooked function: Hook_Class_Function.
#define TW_DETOUR(CLASS, FUNCTION) Hook_##CLASS##_##FUNCTION

// One detour per hooked function of game_table.h, in its order; hooks/*.cpp define them, a file
// per subject.
#define TW_DECLARE_DETOUR(CLASS, FUNCTION, ...) \
  Detour<TW_GAME_NAME(CLASS, FUNCTION)> TW_DETOUR(CLASS, FUNCTION);
TW_HOOKED_FUNCTIONS(TW_DECLARE_DETOUR)
#undef TW_DECLARE_DETOUR
