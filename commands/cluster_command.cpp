// "tw.cluster": what an admin sees of, and asks of, the cluster's sync.
#include <string>
#include <vector>

#include "base/guard.h"
#include "base/log_field.h"
#include "base/logger.h"
#include "base/text.h"
#include "cluster/cluster_link.h"
#include "commands/commands.h"
#include "commands/usage.h"
#include "counting/other_maps.h"
#include "host/ark_api.h"
#include "notify/messages.h"

namespace {

constexpr char kUsage[] =
    "Usage: tw.cluster [sync | forget NAME] (alone: the cluster's state and its maps; sync: write "
    "and read now; forget NAME: delete a retired map's counts)";

// What a map's name may hold, as the configuration's ServerName.
bool IsMapName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (const char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '.' || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  return text;
}

std::string Forget(const std::string& name) {
  SyncWorker* worker = ClusterWorker();
  if (!IsMapName(name))
    return "tw.cluster forget: \"" + LogField(name) +
           "\" is no map name (letters, digits, _ . -, at most 64)";
  if (!worker->Forget(name))
    return "tw.cluster forget: \"" + name +
           "\" is this map: its counts are its own and written again at once; forget only a "
           "retired map";
  ClusterOnTimer();  // this map stops counting it now
  Log().info("Cluster: forgetting map \"{}\": its rows are deleted from the database", name);
  return "forgetting \"" + name +
         "\": this map no longer counts it; the other maps stop at their "
         "next read";
}

// The answer to the whole command text.
std::string Answer(const FString& command) {
  const std::vector<std::u16string_view> words = Arguments(command);
  SyncWorker* worker = ClusterWorker();
  if (worker == nullptr) return ClusterStateLine();
  // What waits is passed first, so that the answer is as fresh as can be without waiting.
  ClusterOnTimer();
  if (words.empty()) return Joined(ClusterStatusLines());
  if (words.size() == 1 && words[0] == u"sync") {
    worker->RequestSync();
    return "sync requested";
  }
  if (words.size() == 2 && words[0] == u"forget") return Forget(ToUtf8(FString(words[1])));
  return kUsage;
}

}  // namespace

void ClusterCmd(APlayerController* controller, FString* command, bool) {
  Guarded("tw.cluster", [&] {
    auto* player = static_cast<AShooterPlayerController*>(controller);
    if (player == nullptr || ArkApi::GetApiUtils().IsPlayerDead(player)) return;
    const std::wstring answer =
        ArkApi::Tools::Utf8Decode(Answer(command != nullptr ? *command : FString()));
    SendChatMessage(player, FString(SenderName()), EscapeBraces(answer).c_str());
  });
}

void ClusterRcon(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
  Guarded("tw.cluster", [&] {
    SendRconAnswer(
        connection, packet,
        FString(ArkApi::Tools::Utf8Decode(Answer(packet != nullptr ? packet->Body : FString()))));
  });
}
