#include "sim/framework/text.h"

#include "host/ark_api.h"

namespace sim {

std::string ToUtf8(const FString& text) { return ArkApi::Tools::Utf8Encode(text.ToWide()); }

FString FromUtf8(const std::string& text) { return FString(ArkApi::Tools::Utf8Decode(text)); }

}  // namespace sim
