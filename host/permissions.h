#pragma once

#include <cstdint>

#include "host/fstring.h"
#include "host/host_api.h"

// The permissions library: groups of players by platform id.
namespace Permissions {
// True when the player with that Steam id belongs to the group (such as "Admins").
TW_HOST_API bool IsPlayerHasPermission(uint64_t steam_id, const FString& group);
}  // namespace Permissions
