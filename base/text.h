#pragma once

#include <string>

#include "host/ark_api.h"
#include "host/fstring.h"

// A game string as UTF-8, through the framework's converter.
inline std::string ToUtf8(const FString& text) { return ArkApi::Tools::Utf8Encode(text.ToWide()); }
