#include "base/config.h"

#include <algorithm>
#include <ctime>
#include <fstream>
#include <set>
#include <stdexcept>
#include <utility>

#include <fmt/format.h>

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

// A file larger than this is refused before it is read: a configuration is a few kilobytes.
constexpr std::streamoff kMaxConfigBytes = 8 << 20;
// Nesting the parse stops at: far above what the check allows (kMaxNesting), so the check still
// names where a value nests too deep, and low enough that no file can make the parse costly.
constexpr std::size_t kMaxParseDepth = 1000;

// The parser's own handler, which builds the document, with a bound on the nesting.
class BoundedDocument : public nlohmann::detail::json_sax_dom_parser<nlohmann::json> {
 public:
  using json_sax_dom_parser::json_sax_dom_parser;
  bool start_object(std::size_t elements) {
    return Deeper() && json_sax_dom_parser::start_object(elements);
  }
  bool end_object() { return --depth_, json_sax_dom_parser::end_object(); }
  bool start_array(std::size_t elements) {
    return Deeper() && json_sax_dom_parser::start_array(elements);
  }
  bool end_array() { return --depth_, json_sax_dom_parser::end_array(); }

 private:
  bool Deeper() {
    if (++depth_ <= kMaxParseDepth) return true;
    throw std::runtime_error(fmt::format(
        "config.json nests objects and arrays deeper than {} levels, and the plug-in stopped "
        "reading it there; write the values without the nesting",
        kMaxParseDepth));
  }
  std::size_t depth_ = 0;
};

// The first JSON value of the file, as the stream read takes it (what follows it is not read),
// refused when the file is too large or nests too deep.
nlohmann::json ParseBounded(std::ifstream& file) {
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  file.seekg(0, std::ios::beg);
  if (size > kMaxConfigBytes) {
    throw std::runtime_error(fmt::format(
        "config.json holds {} bytes, more than the {} MB the plug-in reads; a configuration is a "
        "few kilobytes: check that this is the right file",
        size, kMaxConfigBytes >> 20));
  }
  nlohmann::json document;
  BoundedDocument handler(document);
  nlohmann::json::sax_parse(file, &handler, nlohmann::json::input_format_t::json,
                            /*strict=*/false);
  return document;
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
    std::ifstream file(path);
    if (!file.is_open()) throw std::runtime_error("Can't open " + read.file);
    nlohmann::json fresh = ParseBounded(file);
    file.close();
    read.findings = CheckConfig(fresh);
    for (const Finding& finding : read.findings) LogFinding(read.file, finding);
    // The reads made at once, with the JSON library's own texts for a top level that is no
    // object, a missing General, or an IgnoreAdmin that is no boolean. The document is not live
    // yet, so the writing lookup changes nothing anyone reads.
    (void)fresh["General"].value("IgnoreAdmin", false);
    read.document = std::move(fresh);
  } catch (const std::exception& error) {
    read.error = error.what();
    Log().error(read.error);
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
  return "Config: " + count(kinds.size(), "kind", "kinds") + ", " +
         count(settings.item_map.size(), "item mapping", "item mappings") + ", " +
         count(warnings, "warning", "warnings");
}
