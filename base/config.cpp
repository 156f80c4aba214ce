#include "base/config.h"

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <utility>

#include <fmt/format.h>

#include "base/config_parse.h"
#include "base/guard.h"
#include "base/log_field.h"
#include "base/logger.h"
#include "host/ark_api.h"
#include "host/game_text.h"

namespace {

// The document and its settings, always replaced together.
struct Live {
  nlohmann::json document;
  std::shared_ptr<const Settings> settings = std::make_shared<const Settings>();
};

Live& TheLive() {
  static Live live;
  return live;
}

void LogFinding(const std::string& file, const Finding& finding) {
  const std::string line = file + ": " + LogField(finding.key) + ": " + LogField(finding.message);
  if (finding.severity == Severity::kError) {
    Log().error(line);
  } else {
    Log().warn(line);
  }
}

ConfigOrigin& TheOrigin() {
  static ConfigOrigin origin;
  return origin;
}

// A file's modification time in UTC; empty when it cannot be read.
std::string ModifiedUtc(const std::filesystem::path& path) {
  std::error_code error;
  const auto modified = std::filesystem::last_write_time(path, error);
  if (error) return "";
  return UtcTime(std::chrono::time_point_cast<std::chrono::system_clock::duration>(
      std::chrono::file_clock::to_sys(modified)));
}

}  // namespace

const nlohmann::json& PluginConfig() { return TheLive().document; }

const Settings* config_internal::live_settings = TheLive().settings.get();

const std::shared_ptr<const Settings>& SharedSettings() { return TheLive().settings; }

std::filesystem::path ConfigFilePath() {
  return std::filesystem::path(ArkApi::Tools::GetCurrentDir()) / "ArkApi/Plugins/Tamewarden" /
         "config.json";
}

std::filesystem::path LastGoodFilePath() {
  return ConfigFilePath().replace_filename("config.last-good.json");
}

ConfigRead ReadCheckedConfig(const std::filesystem::path& path) {
  ConfigRead read;
  read.file = LogField(path.filename().string());
  try {
    ParsedConfig parsed = ParseConfigFile(path.string());
    if (!parsed.error.empty()) {
      read.detail = std::move(parsed.detail);
      throw std::runtime_error(parsed.error);
    }
    nlohmann::json fresh = std::move(parsed.document);
    read.findings = std::move(parsed.findings);  // the parse's before the check's
    std::ranges::move(CheckConfig(fresh), std::back_inserter(read.findings));
    for (const Finding& finding : read.findings) LogFinding(read.file, finding);
    // The reads made at once, with the JSON library's own texts for a top level that is no
    // object, a missing General, or an IgnoreAdmin that is no boolean. The document is not live
    // yet, so the writing lookup changes nothing anyone reads.
    (void)fresh["General"].value("IgnoreAdmin", false);
    read.document = std::move(fresh);
  } catch (const std::exception& error) {
    read.error = error.what();
    Log().error(LogField(read.error));
    if (!read.detail.empty()) Log().error(LogField(read.detail));
  }
  return read;
}

std::string ConfigRead::Failure() const {
  if (!error.empty()) return error;
  const std::size_t errors = CountFindings(findings, Severity::kError);
  if (errors == 0) return "";
  return fmt::format("{} was refused: {} error{}, each logged above", file, errors,
                     errors == 1 ? "" : "s");
}

nlohmann::json InstallConfig(nlohmann::json document) {
  // Read before anything is replaced: a failure (out of memory) leaves the live pair whole.
  auto settings = std::make_shared<const Settings>(ReadSettings(document));
  Live& live = TheLive();
  live.settings = std::move(settings);
  config_internal::live_settings = live.settings.get();
  return std::exchange(live.document, std::move(document));
}

std::size_t ReadConfig() {
  ConfigOrigin origin{.path = ConfigFilePath()};
  ConfigRead read = ReadCheckedConfig(origin.path);
  if (const std::string failure = read.Failure(); !failure.empty()) {
    // Only an existing last good file is tried, so that a first start without any file logs
    // what it always did.
    const std::filesystem::path last_good = LastGoodFilePath();
    std::error_code no_file;
    if (!std::filesystem::exists(last_good, no_file)) throw std::runtime_error(failure);
    ConfigRead fallback = ReadCheckedConfig(last_good);
    if (!fallback.Failure().empty()) throw std::runtime_error(failure);
    origin = {.path = last_good,
              .last_good = true,
              .failure = LogField(origin.path.string()) + ": " + LogField(failure),
              .saved = ModifiedUtc(last_good)};
    Log().error(
        "{} could not be used ({}); the last good configuration, saved {}, is running "
        "from {}",
        LogField(ConfigFilePath().string()), LogField(failure), origin.saved,
        LogField(last_good.string()));
    read = std::move(fallback);
  }
  InstallConfig(std::move(read.document));
  origin.loaded = std::chrono::system_clock::now();
  origin.warnings = CountFindings(read.findings, Severity::kWarning);
  SetRunningConfigOrigin(std::move(origin));
  return TheOrigin().warnings;
}

const ConfigOrigin& RunningConfigOrigin() { return TheOrigin(); }

void SetRunningConfigOrigin(ConfigOrigin origin) { TheOrigin() = std::move(origin); }

void SaveLastGood(const nlohmann::json& document) {
  const std::filesystem::path target = LastGoodFilePath();
  std::filesystem::path temporary = target;
  temporary += ".tmp";
  const bool saved = Contained(
      [&] {
        const std::string text = document.dump(2) + "\n";
        {
          std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
          if (!file.is_open()) throw std::runtime_error("cannot create " + temporary.string());
          file.write(text.data(), static_cast<std::streamsize>(text.size()));
          file.close();
          if (!file) throw std::runtime_error("cannot write " + temporary.string());
        }
        std::filesystem::rename(temporary, target);
      },
      [&](std::string_view error) {
        Log().warn("Could not save the last good configuration to {}: {}",
                   LogField(target.string()), LogField(error));
      });
  if (!saved) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
  }
}

std::string UtcTime(std::chrono::system_clock::time_point time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm utc{};
  if (gmtime_r(&seconds, &utc) == nullptr) return "";
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
  return std::string(text, length);
}

std::string ConfigSummary(std::size_t warnings) {
  const auto count = [](std::size_t n, const char* one, const char* many) {
    return fmt::format("{} {}", n, n == 1 ? one : many);
  };
  const Settings& settings = CurrentSettings();
  // Kinds equal ignoring case are one.
  std::set<std::string> kinds;
  for (const auto& [key, kind] : settings.kinds) kinds.insert(game_text::Folded(key));
  std::string summary = "Config: " + count(kinds.size(), "kind", "kinds") + ", " +
                        count(settings.item_map.size(), "item mapping", "item mappings") + ", " +
                        count(warnings, "warning", "warnings");
  // The names only: the connection, and above all its password, stay out of every answer.
  if (settings.cluster)
    summary += ", cluster \"" + LogField(settings.cluster->cluster_name) + "\" as \"" +
               LogField(settings.cluster->server_name) + "\"";
  return summary;
}
