#include "sim/framework/call_trace.h"
#include "sim/framework/text.h"
#include "sim/game/functions.h"
#include "sim/server.h"

// What the game shows one player, and what it sends an RCON client: each becomes an event.
namespace sim::game_functions {
namespace {

ShooterPlayerController& Player(AShooterPlayerController* controller, const char* function) {
  if (controller == nullptr) Fault(std::string(function) + " called on a null controller");
  return *FromHost<ShooterPlayerController>(controller);
}

nlohmann::json Colour(const FLinearColor& c) {
  return {EventFloat(c.R), EventFloat(c.G), EventFloat(c.B), EventFloat(c.A)};
}

}  // namespace

void RconSendMessage(RCONClientConnection* connection, int32_t request_id, int32_t type,
                     FString* text) {
  if (connection == nullptr) Fault("RCONClientConnection.SendMessageW called on a null connection");
  const std::string utf8 = ToUtf8(*text);
  reinterpret_cast<RconConnection*>(connection)->replies.push_back({request_id, type, utf8});
  Server::Current().events().Add(EventKind::kRcon,
                                 {{"id", request_id}, {"type", type}, {"text", utf8}});
}

void ClientNotification(AShooterPlayerController* controller, FString* text, FLinearColor colour,
                        float scale, float time, UTexture2D*, USoundBase*) {
  auto& player = Player(controller, "ClientServerSOTFNotificationCustom");
  Server::Current().events().Add(EventKind::kNotification, {{"player", player.name},
                                                            {"text", ToUtf8(*text)},
                                                            {"color", Colour(colour)},
                                                            {"scale", EventFloat(scale)},
                                                            {"time", EventFloat(time)}});
}

void ClientChatMessage(AShooterPlayerController* controller, ChatMessageRecord message) {
  auto& player = Player(controller, "ClientChatMessage");
  Server::Current().events().Add(EventKind::kChat, {{"player", player.name},
                                                    {"sender", ToUtf8(message.SenderName)},
                                                    {"text", ToUtf8(message.Message)}});
}

void ClientServerChatDirectMessage(AShooterPlayerController* controller, FString* text,
                                   FLinearColor colour, bool) {
  auto& player = Player(controller, "ClientServerChatDirectMessage");
  Server::Current().events().Add(
      EventKind::kServerMessage,
      {{"player", player.name}, {"text", ToUtf8(*text)}, {"color", Colour(colour)}});
}

void StartUnequip(AShooterWeapon* weapon) {
  if (weapon == nullptr) Fault("AShooterWeapon.StartUnequip called on a null weapon");
  auto* w = FromHost<Weapon>(weapon);
  const Survivor* holder = w->holder;
  Server::Current().events().Add(
      EventKind::kUnequip, {{"player", holder != nullptr && holder->controller != nullptr
                                           ? nlohmann::json(holder->controller->name)
                                           : nlohmann::json(nullptr)},
                            {"item", w->associated_item != nullptr
                                         ? nlohmann::json(FromHost<Item>(w->associated_item)->name)
                                         : nlohmann::json(nullptr)}});
  NoteUnequipped();
  if (w->holder != nullptr && w->holder->weapon == w) w->holder->weapon = nullptr;
  w->holder = nullptr;
}

}  // namespace sim::game_functions
