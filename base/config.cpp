#include "base/config.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <stdexcept>
#include <utility>

#include <fmt/format.h>

#include "base/config_parse.h"
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

void LogFinding(const Finding& finding) {
  const std::string line =
      "config.json: " + LogField(finding.key) + ": " + LogField(finding.message);
  if (finding.severity == Severity::kError) {
    Log().error(line);
  } else {
    Log().warn(line);
  }
}

}  // namespace

const nlohmann::json& PluginConfig() { return TheLive().document; }

const Settings* config_internal::live_settings = TheLive().settings.get();

const std::shared_ptr<const Settings>& SharedSettings() { return TheLive().settings; }

ConfigRead ReadCheckedConfig() {
  ConfigRead read;
  try {
    const std::string path =
        ArkApi::Tools::GetCurrentDir() + "/ArkApi/Plugins/Tamewarden/config.json";
    ParsedConfig parsed = ParseConfigFile(path);
    if (!parsed.error.empty()) {
      read.detail = std::move(parsed.detail);
      throw std::runtime_error(parsed.error);
    }
    nlohmann::json fresh = std::move(parsed.document);
    read.findings = std::move(parsed.findings);  // the parse's before the check's
    std::ranges::move(CheckConfig(fresh), std::back_inserter(read.findings));
    std::for_each(read.findings.begin(), read.findings.end(), LogFinding);
    // The reads made at once, with the JSON library's own texts for a top level that is no
    // object, a missing General, or an IgnoreAdmin that is no boolean. The document is not live
    // yet, so the writing lookup changes nothing anyone reads.
    (void)fresh["General"].value("IgnoreAdmin", false);
    read.document = std::move(fresh);
  } catch (const std::exception& error) {
    read.error = error.what();
    Log().error(read.error);
    if (!read.detail.empty()) Log().error(LogField(read.detail));
  }
  return read;
}

std::string ConfigRead::Failure() const {
  if (!error.empty()) return error;
  const std::size_t errors = CountFindings(findings, Severity::kError);
  if (errors == 0) return "";
  return fmt::format("config.json was refused: {} error{}, each logged above", errors,
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
  ConfigRead read = ReadCheckedConfig();
  if (const std::string failure = read.Failure(); !failure.empty()) {
    throw std::runtime_error(failure);
  }
  InstallConfig(std::move(read.document));
  return CountFindings(read.findings, Severity::kWarning);
}

std::string ConfigSummary(std::size_t warnings) {
  const auto count = [](std::size_t n, const char* one, const char* many) {
    return fmt::format("{} {}", n, n == 1 ? one : many);
  };
  const Settings& settings = CurrentSettings();
  // Kinds equal ignoring case are one.
  std::set<std::string> kinds;
  for (const auto& [key, kind] : settings.kinds) kinds.insert(game_text::Folded(key));
  return "Config: " + count(kinds.size(), "kind", "kinds") + ", " +
         count(settings.item_map.size(), "item mapping", "item mappings") + ", " +
         count(warnings, "warning", "warnings");
}
