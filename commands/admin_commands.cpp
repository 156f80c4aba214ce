// "UpdateDinos" and "GetDinoBp": admins rebuild every count from the level, and read the
// blueprint path of the creature they aim at, in the form "Dinos" keys take. The framework
// checks the rights; the handlers check none.
#include <exception>
#include <string>

#include "base/config.h"
#include "base/guard.h"
#include "base/log_field.h"
#include "base/logger.h"
#include "base/text.h"
#include "commands/commands.h"
#include "commands/usage.h"
#include "counting/blueprint_path.h"
#include "counting/recount.h"
#include "host/ark_api.h"
#include "host/game_access.h"
#include "notify/messages.h"

namespace {

bool IsDead(APlayerController* controller) {
  return ArkApi::GetApiUtils().IsPlayerDead(static_cast<AShooterPlayerController*>(controller));
}

// What the character aims at, asked the way the game's own aiming asks.
AActor* AimedActorOf(AShooterCharacter* character) {
  return Call<"APrimalCharacter.GetAimedActor">(character, 6, nullptr, 0.0f, 0.0f, nullptr, nullptr,
                                                false, false, false);
}

bool IsCreature(AActor* actor) {
  return Call<"UObjectBaseUtility.IsA">(actor,
                                        Call<"APrimalDinoCharacter.GetPrivateStaticClass">());
}

}  // namespace

void UpdateDinosCmd(APlayerController* controller, FString* command, bool) {
  Guarded("UpdateDinos", [&] {
    if (!TakesNoWords(controller, command,
                      L"Usage: UpdateDinos (no words: recounts every creature)"))
      return;
    if (IsDead(controller)) return;
    Recount(RecountReason::kUpdateDinos);
  });
}

void UpdateDinosRconCmd(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
  Guarded("UpdateDinos", [&] {
    if (!TakesNoWords(connection, packet,
                      L"Usage: UpdateDinos (no words: recounts every creature)"))
      return;
    // A failed recount is answered with its error, so the admin does not take it for done.
    std::string answer;
    try {
      answer = "Updated All Dinos\n" + Recount(RecountReason::kUpdateDinos);
    } catch (const std::exception& error) {
      LogError("UpdateDinos", error.what());
      answer = error.what();
    }
    SendRconAnswer(connection, packet, answer.c_str());
  });
}

void GetDinoBpCmd(APlayerController* controller, FString* command, bool) {
  Guarded("GetDinoBp", [&] {
    if (!TakesNoWords(controller, command, L"Usage: GetDinoBp (no words: aim at a creature)"))
      return;
    auto* player = static_cast<AShooterPlayerController*>(controller);
    if (player == nullptr || IsDead(controller)) return;
    AShooterCharacter* character = Call<"AShooterPlayerController.GetPlayerCharacter">(player);
    if (character == nullptr) return;
    AActor* aimed = AimedActorOf(character);
    if (aimed == nullptr || !IsCreature(aimed)) return;
    const FString path = GetBlueprintPath(aimed);
    // A path is data: its braces are doubled for the sender's format step, so it arrives as is.
    SendChatMessage(player, FString(SenderName()), EscapeBraces(LogField(path.ToWide())).c_str());
    // The bare path, so it can be copied into the configuration as a key.
    Log().info(LogField(ToUtf8(path)));
  });
}
