#pragma once

#include "host/game_table.h"

// The game's own function behind each hooked name: the framework writes its address here when
// the hook is installed, before the detour can run. Detours call it to let the game go on.
template <GameName Name>
inline typename GameFunction<Name>::Type* Original = nullptr;

// A detour has exactly the type game_table.h gives the function it stands in for; each one below
// is declared through it, so a definition with another signature is no detour and fails to link.
template <GameName Name>
using Detour = typename GameFunction<Name>::Type;

// The world's start: the full recount.
Detour<"AShooterGameMode.InitGame"> Hook_AShooterGameMode_InitGame;

// Taming and claiming.
Detour<"AShooterGameState.AllowDinoTame"> Hook_AShooterGameState_AllowDinoTame;
Detour<"APrimalDinoCharacter.TameDino"> Hook_APrimalDinoCharacter_TameDino;
Detour<"APrimalDinoCharacter.TryMultiUse"> Hook_APrimalDinoCharacter_TryMultiUse;

// Death and destruction.
Detour<"APrimalDinoCharacter.Die"> Hook_APrimalDinoCharacter_Die;
Detour<"APrimalDinoCharacter.Destroyed"> Hook_APrimalDinoCharacter_Destroyed;

// Cryopods, soul traps and creature-spawning items.
Detour<"AShooterCharacter.OnWeaponEquipped"> Hook_AShooterCharacter_OnWeaponEquipped;
Detour<"UPrimalItem.AllowUseInInventory"> Hook_UPrimalItem_AllowUseInInventory;
Detour<"UPrimalItem.AllowSlotting"> Hook_UPrimalItem_AllowSlotting;

// Uploads and downloads.
Detour<"AShooterPlayerController.ServerRequestDownloadDino_Implementation">
    Hook_AShooterPlayerController_ServerRequestDownloadDino_Implementation;
Detour<"AShooterPlayerController.ServerDownloadDino">
    Hook_AShooterPlayerController_ServerDownloadDino;
Detour<"APrimalDinoCharacter.InitDownloadedTamedDino">
    Hook_APrimalDinoCharacter_InitDownloadedTamedDino;

// Cloning.
Detour<"APrimalStructure.TryMultiUse"> Hook_APrimalStructure_TryMultiUse;
Detour<"AActor.BPServerHandleNetExecCommand"> Hook_AActor_BPServerHandleNetExecCommand;

// Admin spawns.
Detour<"AShooterPlayerController.SpawnActor"> Hook_AShooterPlayerController_SpawnActor;

// Tribe joins and merges.
Detour<"AShooterPlayerState.AddToTribe"> Hook_AShooterPlayerState_AddToTribe;
