// The configuration check on arbitrary bytes, as a server owner's file may hold them: whatever
// parses as JSON is checked, and the check must answer with findings that each say where and
// what, never crash, hang or exhaust memory. The same bytes as a log field must come out without
// a control character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/config_check.h"
#include "base/log_field.h"
#include "base/spelling.h"

// A log field made of the same bytes holds no byte below 0x20 or DEL, and stays near its bound.
void CheckLogField(const uint8_t* data, std::size_t size) {
  const std::string field = LogField(std::string_view(reinterpret_cast<const char*>(data), size));
  for (char c : field) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
  }
  if (field.size() > kMaxLogField * 6 + 32) std::abort();  // "\\u202E" is the longest
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  CheckLogField(data, size);
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
