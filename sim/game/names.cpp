#include "sim/game/names.h"

#include <vector>

#include "host/game_text.h"

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

bool SplitObjectPath(std::string_view text, std::string& package, std::string& object) {
  text = game_text::Unwrap(text);
  const auto dot = text.rfind('.');
  const auto slash = text.rfind('/');
  if (!text.starts_with('/') || dot == std::string_view::npos || slash == std::string_view::npos ||
      dot < slash || dot + 1 == text.size() || text.find(' ') != std::string_view::npos) {
    return false;
  }
  package = text.substr(0, dot);
  object = text.substr(dot + 1);
  return true;
}

}  // namespace sim
