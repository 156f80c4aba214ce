// The configuration check on arbitrary bytes, as a server owner's file may hold them: whatever
// parses as JSON is checked, and the check must answer with findings that each say where and
// what, never crash, hang or exhaust memory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/config_check.h"
#include "base/spelling.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const nlohmann::json document =
      nlohmann::json::parse(data, data + size, nullptr, /*allow_exceptions=*/false);
  if (document.is_discarded()) return 0;

  const std::vector<Finding> findings = CheckConfig(document);
  for (const Finding& finding : findings) {
    if (finding.key.empty() || finding.message.empty()) std::abort();
    if (FormatFinding(finding).empty()) std::abort();
  }
  if (CountFindings(findings, Severity::kError) + CountFindings(findings, Severity::kWarning) !=
      findings.size()) {
    std::abort();
  }

  // The slip finder on whatever keys the owner wrote at the top.
  if (document.is_object()) {
    const std::vector<std::string> sections = {"General", "Messages", "Dinos", "ItemMap", "Debug"};
    for (const auto& [key, value] : document.items()) NearestName(key, sections);
  }
  return 0;
}
