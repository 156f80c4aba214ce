#pragma once

#include <string>
#include <vector>

// Starts the plug-in: creates its logger, reads the configuration, counts the creatures at once
// when the world already runs, then registers its commands and installs its hooks (the tables of
// load.cpp).
// When reading or counting fails it logs the error, leaves nothing registered, and throws, which
// fails the load. A hook the host refuses is logged at error level and the load goes on.
void Load();

// Removes every command and hook that Load added. The counts, configuration and logger stay
// until the library goes.
void Unload();

// What Load added, for tw.status: each command as "KIND NAME" in the order registered (KIND
// being chat, RCON or console), the hooks installed, and each hook the host refused with its
// reason. Empty when nothing is loaded.
struct LoadedParts {
  std::vector<std::string> commands;
  std::vector<std::string> hooks_installed;
  std::vector<std::string> hooks_refused;
};
LoadedParts WhatLoadAdded();
