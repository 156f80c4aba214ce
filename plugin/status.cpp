#include "plugin/status.h"

#include <algorithm>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "base/config.h"
#include "base/guard.h"
#include "base/log_field.h"
#include "base/text.h"
#include "cluster/cluster_link.h"
#include "commands/usage.h"
#include "counting/recount.h"
#include "host/ark_api.h"
#include "notify/messages.h"
#include "plugin/load.h"

namespace {

std::string Joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : std::string(separator)) + part;
  return text;
}

// The commands grouped by where they are typed, in the order registered: "chat /limits; RCON
// tw.reload, UpdateDinos; console ...".
std::string CommandsLine(const std::vector<std::string>& commands) {
  std::vector<std::pair<std::string, std::vector<std::string>>> groups;
  for (const std::string& command : commands) {
    const std::size_t space = command.find(' ');
    const std::string kind = command.substr(0, space);
    const std::string name = LogField(command.substr(space + 1));
    auto it = std::find_if(groups.begin(), groups.end(),
                           [&](const auto& group) { return group.first == kind; });
    if (it == groups.end()) it = groups.insert(groups.end(), {kind, {}});
    it->second.push_back(name);
  }
  std::vector<std::string> parts;
  for (const auto& [kind, names] : groups) parts.push_back(kind + " " + Joined(names, ", "));
  return "Commands: " + (parts.empty() ? std::string("none") : Joined(parts, "; "));
}

std::wstring Answer() { return ArkApi::Tools::Utf8Decode(Joined(StatusLines(), "\n")); }

}  // namespace

std::vector<std::string> StatusLines() {
  std::vector<std::string> lines;
  const ConfigOrigin& origin = RunningConfigOrigin();
  if (origin.path.empty()) {
    lines.push_back("Config file: none loaded");
  } else {
    std::string file = "Config file: " + LogField(origin.path.string());
    if (origin.last_good) {
      file += " (the last good configuration, saved " + origin.saved + ", because " +
              origin.failure + ")";
    }
    lines.push_back(file);
    lines.push_back("Loaded: " + UtcTime(origin.loaded));
  }
  const Settings& settings = CurrentSettings();
  lines.push_back(ConfigSummary(origin.warnings));
  if (ClusterWorker() != nullptr) lines.push_back(ClusterStateLine());
  lines.push_back(fmt::format("Tiers: {}", settings.tiers.size()));
  const std::string& recount = LastRecountLine();
  lines.push_back("Last recount: " + (recount.empty() ? std::string("none yet") : recount));
  const int32_t interval = settings.general.recount_interval;
  lines.push_back(interval > 0
                      ? fmt::format("Recount timer: every {} s", interval)
                      : std::string("Recount timer: off (General.RecountIntervalSeconds is 0)"));
  const LoadedParts parts = WhatLoadAdded();
  lines.push_back(fmt::format(
      "Hooks: {} installed, {} refused{}", parts.hooks_installed.size(), parts.hooks_refused.size(),
      parts.hooks_refused.empty() ? "" : ": " + Joined(parts.hooks_refused, ", ")));
  lines.push_back(CommandsLine(parts.commands));
  return lines;
}

constexpr const wchar_t* kUsage = L"Usage: tw.status (no words: what the plug-in runs)";

void StatusCmd(APlayerController* controller, FString* command, bool) {
  Guarded("tw.status", [&] {
    if (!TakesNoWords(controller, command, kUsage)) return;
    auto* player = static_cast<AShooterPlayerController*>(controller);
    if (player == nullptr || ArkApi::GetApiUtils().IsPlayerDead(player)) return;
    SendChatMessage(player, FString(SenderName()), EscapeBraces(Answer()).c_str());
  });
}

void StatusRcon(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
  Guarded("tw.status", [&] {
    if (!TakesNoWords(connection, packet, kUsage)) return;
    SendRconAnswer(connection, packet, FString(Answer()));
  });
}
