#pragma once

#include <string>
#include <string_view>

#include "host/ark_api.h"
#include "host/fstring.h"

// A game string as UTF-8, through the framework's converter.
inline std::string ToUtf8(const FString& text) { return ArkApi::Tools::Utf8Encode(text.ToWide()); }

// `value` with every brace doubled, so that a format step shows it as written: for data (a path,
// a display name) inside a text that a sender formats.
inline std::wstring EscapeBraces(std::wstring_view value) {
  std::wstring escaped;
  escaped.reserve(value.size());
  for (wchar_t c : value) {
    escaped.push_back(c);
    if (c == L'{' || c == L'}') escaped.push_back(c);
  }
  return escaped;
}
