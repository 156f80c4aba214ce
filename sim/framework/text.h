#pragma once

#include <string>

#include "host/fstring.h"

// Text conversions the stand-in uses for events and command lines.
namespace sim {

std::string ToUtf8(const FString& text);
FString FromUtf8(const std::string& text);

}  // namespace sim
