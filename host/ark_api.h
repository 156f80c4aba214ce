#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/address.h"
#include "host/game_table.h"
#include "host/host_api.h"

namespace spdlog::sinks {
class sink;
}

// The plug-in framework inside the game server, as plug-ins see it. Everything here is called on
// the game thread, except that a plug-in's load and unload may run on the thread that attaches it.
namespace ArkApi {

using ChatCallback = std::function<void(AShooterPlayerController*, FString*, EChatSendMode::Type)>;
using ConsoleCallback = std::function<void(APlayerController*, FString*, bool)>;
using RconCallback = std::function<void(RCONClientConnection*, RCONPacket*, UWorld*)>;
using TimerCallback = std::function<void()>;

// Chat, console and RCON commands. A command is found by the first word of what was typed,
// ignoring case; its callback (a copy kept by the framework) gets the whole text.
class ICommands {
 public:
  virtual ~ICommands() = default;
  virtual void RegisterChatCommand(const FString& name, const ChatCallback& callback) = 0;
  virtual void RegisterConsoleCommand(const FString& name, const ConsoleCallback& callback) = 0;
  virtual void RegisterRconCommand(const FString& name, const RconCallback& callback) = 0;
  // True when a command of that name was registered and is now gone.
  virtual bool UnregisterChatCommand(const FString& name) = 0;
  virtual bool UnregisterConsoleCommand(const FString& name) = 0;
  virtual bool UnregisterRconCommand(const FString& name) = 0;
  // A callback (a copy kept by the framework) run on the game thread once every second of game
  // time, under a name, until it is removed; true when one of that name was there.
  virtual void AddOnTimerCallback(const FString& name, const TimerCallback& callback) = 0;
  virtual bool RemoveOnTimerCallback(const FString& name) = 0;
};

// The framework's answer to a hook's installation.
enum class HookInstall {
  kInstalled,
  kUnknownName,    // no hookable game function of that name
  kAlreadyHooked,  // this detour is already installed on that function
  kDeclined,       // the host refuses to hook that function
};

// Hooks on game functions.
class IHooks {
 public:
  virtual ~IHooks() = default;
  // Routes the game's calls of the function `name` through `detour`. Before the detour can run,
  // the address the detour must call to reach the game's own function is written to *original.
  // Anything but kInstalled leaves everything as it was, *original included.
  virtual HookInstall InstallHook(std::string_view name, void* detour, void** original) = 0;
  // Takes the detour out again; false when it was not installed there.
  virtual bool RemoveHook(std::string_view name, void* detour) = 0;

  template <GameName Name>
  HookInstall InstallHook(typename GameFunction<Name>::Type* detour,
                          typename GameFunction<Name>::Type** original) {
    return InstallHook(Name.view(), reinterpret_cast<void*>(detour),
                       reinterpret_cast<void**>(original));
  }
};

// Utilities over the running game.
class IApiUtils {
 public:
  virtual ~IApiUtils() = default;
  virtual UWorld* GetGameWorld() = 0;
  // 1 while the game world is running.
  virtual int GetServerState() = 0;
  virtual bool IsPlayerDead(AShooterPlayerController* controller) = 0;
  virtual uint64_t GetSteamIdFromController(AController* controller) = 0;
  // The player's controller, or null.
  virtual AShooterPlayerController* FindControllerFromCharacter(AShooterCharacter* character) = 0;
};

TW_HOST_API ICommands& GetCommands();
TW_HOST_API IHooks& GetHooks();
TW_HOST_API IApiUtils& GetApiUtils();

// The framework's log sinks, shared with every plug-in's logger.
TW_HOST_API const std::vector<std::shared_ptr<spdlog::sinks::sink>>& GetLogSinks();

namespace Tools {
// The server directory, under which "/ArkApi/Plugins/" lies.
TW_HOST_API std::string GetCurrentDir();
// Code points to UTF-8; a value that is no code point becomes U+FFFD.
TW_HOST_API std::string Utf8Encode(const std::wstring& wide);
// UTF-8 to code points; each byte of a malformed sequence becomes U+FFFD.
TW_HOST_API std::wstring Utf8Decode(const std::string& utf8);
}  // namespace Tools

}  // namespace ArkApi
