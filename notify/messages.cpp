#include "notify/messages.h"

#include <fmt/xchar.h>

#include "base/config.h"
#include "base/logger.h"
#include "host/game_access.h"

void NotifyPlayer(const std::string& key, AShooterPlayerController* controller) {
  NotifyText(CurrentSettings().messages.Text(key), key, controller);
}

void NotifyText(const std::wstring& text, std::string_view key,
                AShooterPlayerController* controller) {
  const std::optional<RefusalDisplay> display = CurrentSettings().general.Refusal();
  if (!display) {
    // The configuration check warned about this at load: the refusal stands, unseen.
    Log().warn(
        "{} not shown: General.NotificationScale and NotificationDisplayTime must be numbers", key);
    return;
  }
  SendNotification(controller, {1.0f, 0.0f, 0.0f, 1.0f}, display->scale, display->time,
                   text.c_str());
}

void SendNotification(AShooterPlayerController* controller, FLinearColor colour, float scale,
                      float time, const wchar_t* text) {
  if (controller == nullptr) return;
  FString message(fmt::format(fmt::runtime(std::wstring_view(text))));
  Call<"AShooterPlayerController.ClientServerSOTFNotificationCustom">(
      controller, &message, colour, scale, time, nullptr, nullptr);
}

std::wstring SenderName() { return CurrentSettings().messages.Text("Sender"); }

void SendChatMessage(AShooterPlayerController* controller, const FString& sender,
                     const wchar_t* text) {
  if (controller == nullptr) return;
  ChatMessageRecord record;
  record.SenderName = sender;
  record.Message = FString(fmt::format(fmt::runtime(std::wstring_view(text))));
  Call<"AShooterPlayerController.ClientChatMessage">(controller, record);
}

void SendServerMessage(AShooterPlayerController* controller, FLinearColor colour,
                       const char* text) {
  if (controller == nullptr) return;
  FString message(fmt::format(fmt::runtime(std::string_view(text))));
  Call<"AShooterPlayerController.ClientServerChatDirectMessage">(controller, &message, colour,
                                                                 false);
}

void SendRconAnswer(RCONClientConnection* connection, const RCONPacket* request, const char* text) {
  SendRconAnswer(connection, request, FString(text));
}

void SendRconAnswer(RCONClientConnection* connection, const RCONPacket* request, FString text) {
  Call<"RCONClientConnection.SendMessageW">(connection, request->Id, 0, &text);
}
