#pragma once

#include <algorithm>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "host/fstring.h"
#include "host/game_types.h"
#include "notify/messages.h"

// The words a command was given, and the usage answered in place of running a command given
// words it does not take.

// The words after the command's name, split at spaces.
inline std::vector<std::u16string_view> Arguments(const FString& command) {
  std::vector<std::u16string_view> words;
  const std::u16string_view text = command.View();
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find(u' ', at), text.size());
    if (end > at) words.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  if (!words.empty()) words.erase(words.begin());
  return words;
}

// For a console command that takes no words: true when it was given none; else false, with
// `usage` told to the admin in chat.
inline bool TakesNoWords(APlayerController* controller, const FString* command,
                         const wchar_t* usage) {
  if (command == nullptr || Arguments(*command).empty()) return true;
  if (controller != nullptr)
    SendChatMessage(static_cast<AShooterPlayerController*>(controller), FString(SenderName()),
                    usage);
  return false;
}

// The same over RCON, `usage` answered on the connection.
inline bool TakesNoWords(RCONClientConnection* connection, const RCONPacket* packet,
                         const wchar_t* usage) {
  if (packet == nullptr || Arguments(packet->Body).empty()) return true;
  SendRconAnswer(connection, packet, FString(usage));
  return false;
}
