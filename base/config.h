#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
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

// config.json in the plug-in's folder under the server directory, and config.last-good.json
// beside it: the last document that went live, which a load falls back to.
std::filesystem::path ConfigFilePath();
std::filesystem::path LastGoodFilePath();

// What a read found before the document went live (or did not).
struct ConfigRead {
  std::string file = "config.json";  // the name of the file read, as its lines name it
  nlohmann::json document;           // null when the read failed
  std::vector<Finding> findings;     // the parse's, then the check's; none when it did not parse
  std::string error;                 // the read's own failure: no file, a parse or a type error
  std::string detail;  // with `error`, a sentence for the owner: the file's path, where and why

  // Why the document must not go live: `error`, else a summary of the error findings; empty
  // when it may.
  std::string Failure() const;
};

// Reads a configuration file (config.json unless told) into a separate document (see
// base/config_parse.h) and checks it, logging every finding, the parse's first (errors at
// error level, warnings at warning level), and a failure's text at error level, followed by
// its detail on a line of its own; each line names the file. The live configuration is not
// touched. Fails on a missing file ("Can't open config.json"), a parse error or a type error
// of the JSON library (their texts), or error findings.
ConfigRead ReadCheckedConfig(const std::filesystem::path& path = ConfigFilePath());

// Makes `document` the live configuration with the settings read from it, and returns the
// document it replaces, so that a caller can put that one back the same way. Meant for documents
// the check passed (and for tests).
nlohmann::json InstallConfig(nlohmann::json document);

// At load: ReadCheckedConfig, then InstallConfig. When config.json cannot be used and
// config.last-good.json passes the check, that one is installed instead, with an error line
// saying which file failed, why, and when the last good one was saved. When neither can be used,
// throws config.json's failure as a runtime error (its text already logged) and leaves the live
// configuration as it was. Returns how many warnings the check found in what went live.
std::size_t ReadConfig();

// Where the live configuration came from, for the owner's status view.
struct ConfigOrigin {
  std::filesystem::path path;  // the file it was read from
  bool last_good = false;      // the last good file, because config.json could not be used
  std::string failure;         // then: why config.json could not be used
  std::string saved;           // then: the last good file's modification time, in UTC
  std::chrono::system_clock::time_point loaded;  // when it went live
  std::size_t warnings = 0;                      // what the check warned of
};
// Empty (no path) until the first load.
const ConfigOrigin& RunningConfigOrigin();
void SetRunningConfigOrigin(ConfigOrigin origin);

// Writes `document` to config.last-good.json, atomically: a temporary file in the same folder,
// then a rename over the old one. A failure is logged as a warning and changes nothing else.
void SaveLastGood(const nlohmann::json& document);

// "2026-03-01 14:05:09 UTC".
std::string UtcTime(std::chrono::system_clock::time_point time);

// "Config: 12 kinds, 4 item mappings, 1 warning": what the live settings configure, with the
// check's warnings.
std::string ConfigSummary(std::size_t warnings);
