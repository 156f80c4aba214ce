#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/ark_api.h"

namespace sim {

// The framework's chat, console and RCON command registry. Registrations and removals are
// reported to `on_call` as "RegisterChatCommand NAME" and so on, in the order they happen.
class Commands final : public ArkApi::ICommands {
 public:
  explicit Commands(std::function<void(std::string)> on_call) : on_call_(std::move(on_call)) {}

  void RegisterChatCommand(const FString& name, const ArkApi::ChatCallback& callback) override;
  void RegisterConsoleCommand(const FString& name,
                              const ArkApi::ConsoleCallback& callback) override;
  void RegisterRconCommand(const FString& name, const ArkApi::RconCallback& callback) override;
  bool UnregisterChatCommand(const FString& name) override;
  bool UnregisterConsoleCommand(const FString& name) override;
  bool UnregisterRconCommand(const FString& name) override;
  void AddOnTimerCallback(const FString& name, const ArkApi::TimerCallback& callback) override;
  bool RemoveOnTimerCallback(const FString& name) override;

  // Runs the command named by the first word of `text` (ignoring case) with the whole text.
  // False when no command has that name. Whatever a callback throws is reported as a crash.
  bool RunChat(AShooterPlayerController* player, FString text, EChatSendMode::Type mode);
  bool RunConsole(APlayerController* player, FString text);
  bool RunRcon(RCONClientConnection* connection, RCONPacket& packet, UWorld* world);
  // One second of game time: every timer callback once, in the order they were added. Whatever
  // a callback throws is reported as a crash.
  void RunTimers();

  // The names registered now, in registration order.
  std::vector<std::string> ChatNames() const;
  std::vector<std::string> ConsoleNames() const;
  std::vector<std::string> RconNames() const;

 private:
  template <typename Callback>
  struct Entry {
    FString name;
    Callback callback;
  };
  template <typename Callback>
  bool Unregister(std::vector<Entry<Callback>>& entries, const FString& name, const char* what);
  template <typename Callback, typename... Args>
  bool Run(const std::vector<Entry<Callback>>& entries, const FString& text, Args&&... args);

  std::function<void(std::string)> on_call_;
  std::vector<Entry<ArkApi::ChatCallback>> chat_;
  std::vector<Entry<ArkApi::ConsoleCallback>> console_;
  std::vector<Entry<ArkApi::RconCallback>> rcon_;
  std::vector<Entry<ArkApi::TimerCallback>> timers_;
};

}  // namespace sim
