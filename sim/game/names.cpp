#include "sim/game/names.h"

#include <vector>

namespace sim {
namespace {

std::vector<std::string>& Names() {
  static std::vector<std::string> names{"None"};
  return names;
}

}  // namespace

FName MakeName(std::string_view text) {
  auto& names = Names();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == text) return {static_cast<int32_t>(i), 0};
  }
  names.emplace_back(text);
  return {static_cast<int32_t>(names.size() - 1), 0};
}

std::string NameText(FName name) {
  const auto& names = Names();
  if (name.ComparisonIndex < 0 || static_cast<std::size_t>(name.ComparisonIndex) >= names.size())
    return "None";
  return names[name.ComparisonIndex];
}

}  // namespace sim
