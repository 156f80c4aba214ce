#include "base/settings.h"

#include "base/config_schema.h"

Settings ReadSettings(const nlohmann::json& document) {
  Settings settings;
  config_schema::ReadMembers(document, config_schema::kTopLevelKeys, settings);
  return settings;
}

std::optional<RefusalDisplay> GeneralSettings::Refusal() const {
  if (!notification_scale || !notification_time) return std::nullopt;
  return RefusalDisplay{*notification_scale, *notification_time};
}

const std::wstring* MessageSettings::Find(std::string_view key) const {
  const auto it = texts.find(key);
  return it == texts.end() ? nullptr : &it->second;
}

std::wstring MessageSettings::Text(std::string_view key) const {
  const std::wstring* text = Find(key);
  return text != nullptr ? *text : L"No message";
}

std::optional<ShowLimitsDisplay> MessageSettings::ShowLimits() const {
  if (!colour.red || !colour.green || !colour.blue || !show_limits_scale || !show_limits_time)
    return std::nullopt;
  return ShowLimitsDisplay{
      {*colour.red, *colour.green, *colour.blue, 1.0f}, *show_limits_scale, *show_limits_time};
}
