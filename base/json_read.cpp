#include "base/json_read.h"

#include <algorithm>
#include <cmath>
#include <limits>

const nlohmann::json* ConfigMember(const nlohmann::json& object, std::string_view key) {
  if (!object.is_object()) return nullptr;
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

int32_t ReadInt32(const nlohmann::json& value) {
  constexpr int32_t kLow = std::numeric_limits<int32_t>::min();
  constexpr int32_t kHigh = std::numeric_limits<int32_t>::max();
  if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
  if (value.is_number_unsigned())
    return static_cast<int32_t>(std::min<uint64_t>(value.get<uint64_t>(), kHigh));
  if (value.is_number_integer())
    return static_cast<int32_t>(std::clamp<int64_t>(value.get<int64_t>(), kLow, kHigh));
  if (value.is_number_float()) {
    const double number = std::trunc(value.get<double>());
    if (std::isnan(number)) return 0;
    return static_cast<int32_t>(std::clamp<double>(number, kLow, kHigh));
  }
  return value.get<int32_t>();  // throws the library's type error
}

float ReadFloat(const nlohmann::json& value) {
  if (!value.is_number_float()) return value.get<float>();  // integers, booleans; else throws
  constexpr double kMax = std::numeric_limits<float>::max();
  const double number = value.get<double>();
  return std::isnan(number) ? 0.0f : static_cast<float>(std::clamp(number, -kMax, kMax));
}
