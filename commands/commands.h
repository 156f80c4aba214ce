#pragma once

#include "host/game_types.h"

// Command handlers the plug-in registers with the framework.

// "tw.reload" on the console and over RCON: reloads the configuration when the check passes it,
// then recounts; answers the admin in a server message or on the connection.
void ReloadConfigCmd(APlayerController* controller, FString* command, bool);
void ReloadConfigRcon(RCONClientConnection* connection, RCONPacket* packet, UWorld*);

// The show-limits chat command: the player's team's counts against every limit.
void ShowLimitsCmd(AShooterPlayerController* controller, FString* message,
                   EChatSendMode::Type mode);

// "UpdateDinos" on the console and over RCON: rebuilds every count from the level.
void UpdateDinosCmd(APlayerController* controller, FString* command, bool);
void UpdateDinosRconCmd(RCONClientConnection* connection, RCONPacket* packet, UWorld*);

// "tw.counts" on the console and over RCON: with a team number, that team's counts against every
// limit in the lines of /limits (or that it owns no creatures); alone, how many teams are counted
// and kinds configured, and the ten teams with the most creatures. Answers in chat or on the
// connection; changes nothing.
void TeamCountsCmd(APlayerController* controller, FString* command, bool);
void TeamCountsRcon(RCONClientConnection* connection, RCONPacket* packet, UWorld*);

// "GetDinoBp" on the console: the blueprint path of the creature the admin aims at.
void GetDinoBpCmd(APlayerController* controller, FString* command, bool);

// "tw.cluster" on the console and over RCON: alone, the cluster's state line and one line per
// map known; "sync", an immediate write and read ("sync requested"); "forget NAME", deletes a
// retired map's rows and stops counting them here at once.
void ClusterCmd(APlayerController* controller, FString* command, bool);
void ClusterRcon(RCONClientConnection* connection, RCONPacket* packet, UWorld*);
