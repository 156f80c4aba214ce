#include "base/config.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <stdexcept>
#include <utility>

#include <fmt/format.h>

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
    std::ifstream file(path);
    if (!file.is_open()) throw std::runtime_error("Can't open config.json");
    nlohmann::json fresh = ParseBounded(file);
    file.close();
    read.findings = CheckConfig(fresh);
    std::for_each(read.findings.begin(), read.findings.end(), LogFinding);
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
