#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/config_check.h"
#include "base/settings.h"

// The configuration file, config.json in the plug-in's folder under the server directory: read,
// checked before it goes live, and held as a document with the settings read from it. Everything
// here runs on the game thread (or the thread that loads the plug-in).

// The live document: null until the first successful read, then replaced only as a whole (at
// load and reload), together with its settings.
const nlohmann::json& PluginConfig();

// The settings of the live document, which every part of the plug-in reads: those of an empty
// document until the first install. Held by a shared pointer, so that what was built from one
// install (the count store's kinds) can keep it and tell it from the current one.
namespace config_internal {
extern const Settings* live_settings;  // what SharedSettings holds, read on every check
}
inline const Settings& CurrentSettings() { return *config_internal::live_settings; }
const std::shared_ptr<const Settings>& SharedSettings();

// What a read found before the document went live (or did not).
struct ConfigRead {
  nlohmann::json document;        // null when the read failed
  std::vector<Finding> findings;  // the parse's, then the check's; none when it did not parse
  std::string error;              // the read's own failure: no file, a parse or a type error
  std::string detail;  // with `error`, a sentence for the owner: the file's path, where and why

  // Why the document must not go live: `error`, else a summary of the error findings; empty
  // when it may.
  std::string Failure() const;
};

// Reads config.json into a separate document (see base/config_parse.h) and checks it, logging
// every finding, the parse's first (errors at error level, warnings at warning level), and a
// failure's text at error level, followed by its detail on a line of its own. The live
// configuration is not touched. Fails on a missing file ("Can't open config.json"), a parse
// error or a type error of the JSON library (their texts), or error findings.
ConfigRead ReadCheckedConfig();

// Makes `document` the live configuration with the settings read from it, and returns the
// document it replaces, so that a caller can put that one back the same way. Meant for documents
// the check passed (and for tests).
nlohmann::json InstallConfig(nlohmann::json document);

// At load: ReadCheckedConfig, then InstallConfig; throws the failure as a runtime error (its
// text already logged) and leaves the live configuration as it was. Returns how many warnings
// the check found.
std::size_t ReadConfig();

// "Config: 12 kinds, 4 item mappings, 1 warning": what the live settings configure, with the
// check's warnings.
std::string ConfigSummary(std::size_t warnings);
