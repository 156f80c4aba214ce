#include "plugin/config.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "commands/messages.h"
#include "counting/recount.h"
#include "host/ark_api.h"
#include "plugin/logger.h"

nlohmann::json PluginConfig;
bool IgnoreAdminFlag = false;

void ReadConfig() {
  try {
    const std::string path =
        ArkApi::Tools::GetCurrentDir() + "/ArkApi/Plugins/Tamewarden/config.json";
    std::ifstream file(path);
    if (!file.is_open()) throw std::runtime_error("Can't open config.json");
    // Parsed into a separate document so that a failed reload keeps the running one. The
    // stream read stops after the first complete value.
    nlohmann::json fresh;
    file >> fresh;
    file.close();
    const bool ignore_admin = fresh["General"].value("IgnoreAdmin", false);
    PluginConfig = std::move(fresh);
    IgnoreAdminFlag = ignore_admin;
  } catch (const std::exception& error) {
    Log().error(error.what());
    throw;
  }
}

FString GetText(const std::string& key) {
  const std::string text = PluginConfig["Messages"].value(key, "No message");
  return FString(ArkApi::Tools::Utf8Decode(text));
}

bool DebugEnabled() noexcept {
  // Diagnostics must never break what they describe: a "Debug" that is no boolean reads as off.
  const auto debug = PluginConfig.find("Debug");  // end() too when the document is no object
  return debug != PluginConfig.end() && debug->is_boolean() && debug->get<bool>();
}

void WriteDebugLine(std::string text) {
  text.push_back('\n');
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void LogDebug(std::string text) {
  if (DebugEnabled()) WriteDebugLine(std::move(text));
}

void ReloadConfigCmd(APlayerController* controller, FString*, bool) {
  auto* player = static_cast<AShooterPlayerController*>(controller);
  try {
    try {
      ReadConfig();
    } catch (const std::exception& error) {
      SendServerMessage(player, {1, 0, 0, 1}, "Failed to reload config");
      Log().error(error.what());
      return;
    }
    try {
      UpdateDinoCountAll();
    } catch (const std::exception& error) {
      LogError("UpdateDinoCountAll", error.what());
      SendServerMessage(player, {1, 0, 0, 1}, "Failed to reload config");
      return;
    }
    SendServerMessage(player, {0, 1, 0, 1}, "Reloaded config");
    Log().info("Reloaded Config");
  } catch (const std::exception& error) {
    LogError("tw.reload", error.what());
  }
}

void ReloadConfigRcon(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
  try {
    try {
      ReadConfig();
    } catch (const std::exception& error) {
      Log().error(error.what());
      SendRconAnswer(connection, packet, error.what());
      return;
    }
    try {
      UpdateDinoCountAll();
    } catch (const std::exception& error) {
      LogError("UpdateDinoCountAll", error.what());
      SendRconAnswer(connection, packet, error.what());
      return;
    }
    SendRconAnswer(connection, packet, "Reloaded config");
    Log().info("Reloaded Config");
  } catch (const std::exception& error) {
    LogError("tw.reload", error.what());
  }
}
