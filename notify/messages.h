#pragma once

#include <string>
#include <string_view>

#include "host/game_types.h"

// The only ways the plug-in talks to one player, and its RCON answers. Each sender passes its
// text once through the formatting library with no arguments ("{{" shows as "{"), so a stray
// brace makes it throw fmt::format_error before anything is sent. A null controller gets
// nothing. The game functions are looked up by name on every call.

// Shows Messages[key] (or "No message") as a red notification, at General.NotificationScale for
// General.NotificationDisplayTime seconds. Without those settings nothing is shown and a warning
// line names the key.
void NotifyPlayer(const std::string& key, AShooterPlayerController* controller);
// The same for a text already made (it still passes the sender's format step); `key` names it in
// the warning line.
void NotifyText(const std::wstring& text, std::string_view key,
                AShooterPlayerController* controller);

// An on-screen notification.
void SendNotification(AShooterPlayerController* controller, FLinearColor colour, float scale,
                      float time, const wchar_t* text);

// Messages.Sender ("No message" without it): the name the plug-in's chat answers come from, and
// the title of the /limits notification.
std::wstring SenderName();

// A chat line from `sender`.
void SendChatMessage(AShooterPlayerController* controller, const FString& sender,
                     const wchar_t* text);

// A server chat message; the text's bytes are widened one by one (above 0x7F becomes '?').
void SendServerMessage(AShooterPlayerController* controller, FLinearColor colour, const char* text);

// Answers an RCON request on its connection with the request's id and type 0; the text's bytes
// are widened one by one.
void SendRconAnswer(RCONClientConnection* connection, const RCONPacket* request, const char* text);
// The same with a game string, sent as it is.
void SendRconAnswer(RCONClientConnection* connection, const RCONPacket* request, FString text);
