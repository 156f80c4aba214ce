#include "sim/framework/commands.h"

#include <algorithm>
#include <exception>

#include "host/game_text.h"
#include "sim/framework/text.h"
#include "sim/server.h"

namespace sim {
namespace {

// The first word of a command line: everything before the first space.
std::u16string_view FirstWord(const FString& text) {
  const std::u16string_view view = text.View();
  return view.substr(0, view.find(u' '));
}

// Runs a plug-in's callback; one that throws would crash the game, so it is reported as a crash.
void CallReportingCrash(const auto& call) {
  try {
    call();
  } catch (const std::exception& error) {
    Server::Current().events().Add(EventKind::kCrash, {{"text", error.what()}});
  } catch (...) {
    Server::Current().events().Add(EventKind::kCrash, {{"text", "unknown exception"}});
  }
}

std::vector<std::string> NamesOf(const auto& entries) {
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(ToUtf8(entry.name));
  return names;
}

}  // namespace

void Commands::RegisterChatCommand(const FString& name, const ArkApi::ChatCallback& callback) {
  on_call_("RegisterChatCommand " + ToUtf8(name));
  chat_.push_back({name, callback});
}

void Commands::RegisterConsoleCommand(const FString& name,
                                      const ArkApi::ConsoleCallback& callback) {
  on_call_("RegisterConsoleCommand " + ToUtf8(name));
  console_.push_back({name, callback});
}

void Commands::RegisterRconCommand(const FString& name, const ArkApi::RconCallback& callback) {
  on_call_("RegisterRconCommand " + ToUtf8(name));
  rcon_.push_back({name, callback});
}

void Commands::AddOnTimerCallback(const FString& name, const ArkApi::TimerCallback& callback) {
  on_call_("AddOnTimerCallback " + ToUtf8(name));
  timers_.push_back({name, callback});
}

bool Commands::RemoveOnTimerCallback(const FString& name) {
  return Unregister(timers_, name, "RemoveOnTimerCallback");
}

template <typename Callback>
bool Commands::Unregister(std::vector<Entry<Callback>>& entries, const FString& name,
                          const char* what) {
  on_call_(std::string(what) + " " + ToUtf8(name));
  const auto it = std::find_if(entries.begin(), entries.end(),
                               [&](const auto& entry) { return entry.name == name; });
  if (it == entries.end()) return false;
  entries.erase(it);
  return true;
}

bool Commands::UnregisterChatCommand(const FString& name) {
  return Unregister(chat_, name, "UnregisterChatCommand");
}
bool Commands::UnregisterConsoleCommand(const FString& name) {
  return Unregister(console_, name, "UnregisterConsoleCommand");
}
bool Commands::UnregisterRconCommand(const FString& name) {
  return Unregister(rcon_, name, "UnregisterRconCommand");
}

template <typename Callback, typename... Args>
bool Commands::Run(const std::vector<Entry<Callback>>& entries, const FString& text,
                   Args&&... args) {
  const std::u16string_view word = FirstWord(text);
  for (const auto& entry : entries) {
    if (!game_text::EqualsIgnoringCase(entry.name.View(), word)) continue;
    const Callback callback = entry.callback;  // the callback may unregister itself
    CallReportingCrash([&] { callback(std::forward<Args>(args)...); });
    return true;
  }
  return false;
}

bool Commands::RunChat(AShooterPlayerController* player, FString text, EChatSendMode::Type mode) {
  return Run(chat_, text, player, &text, mode);
}

bool Commands::RunConsole(APlayerController* player, FString text) {
  return Run(console_, text, player, &text, false);
}

bool Commands::RunRcon(RCONClientConnection* connection, RCONPacket& packet, UWorld* world) {
  return Run(rcon_, packet.Body, connection, &packet, world);
}

void Commands::RunTimers() {
  const auto timers = timers_;  // a callback may remove itself
  for (const auto& timer : timers) CallReportingCrash(timer.callback);
}

std::vector<std::string> Commands::ChatNames() const { return NamesOf(chat_); }
std::vector<std::string> Commands::ConsoleNames() const { return NamesOf(console_); }
std::vector<std::string> Commands::RconNames() const { return NamesOf(rcon_); }

}  // namespace sim
