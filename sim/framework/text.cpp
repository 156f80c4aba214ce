#include "sim/framework/text.h"

#include "host/ark_api.h"

namespace sim {

std::string ToUtf8(const FString& text) { return ArkApi::Tools::Utf8Encode(text.ToWide()); }

FString FromUtf8(const std::string& text) { return FString(ArkApi::Tools::Utf8Decode(text)); }

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  const auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

}  // namespace sim
