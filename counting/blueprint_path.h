#pragma once

#include <cstdint>
#include <string_view>

#include "host/game_types.h"

// The blueprint path of a creature kind, "Blueprint'/Game/.../X.X'", as server owners write it
// in the configuration. Built from the class default object's full name: everything after its
// first space, less a trailing "_C", wrapped in "Blueprint'...'", with every "Default__" removed.
// Empty for a null object or class, an object without a class, or a full name without a space.
FString GetBlueprintPath(UObjectBase* object);
FString GetClassBlueprintPath(UClass* cls);

// The same rule applied to a full name ("X_C /Game/Path/X.Default__X_C").
FString BlueprintPathFromFullName(std::u16string_view full_name);

// The index of the first occurrence of `pattern` in `text` ignoring the case of A-Z, or -1. An
// empty pattern is never found.
int32_t FindIgnoreCase(const FString& text, const FString& pattern);
