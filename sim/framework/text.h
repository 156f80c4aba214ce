#pragma once

#include <string>
#include <string_view>

#include "host/fstring.h"

// Text conversions the stand-in uses for events and command lines.
namespace sim {

std::string ToUtf8(const FString& text);
FString FromUtf8(const std::string& text);
// Equal when equal after folding A-Z to a-z.
bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b);

}  // namespace sim
