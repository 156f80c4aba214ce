#pragma once

#include <string>
#include <vector>

#include "host/game_types.h"

// "tw.status" on the console and over RCON: what the plug-in is running and doing, one fact a
// line. Changes nothing; answers in chat or on the connection.
void StatusCmd(APlayerController* controller, FString* command, bool);
void StatusRcon(RCONClientConnection* connection, RCONPacket* packet, UWorld*);

// The answer's lines, UTF-8, every field from the configuration or the game escaped. Only the
// facts named here are written, never the document itself, so no setting it may hold (a
// password) can reach an answer.
std::vector<std::string> StatusLines();
