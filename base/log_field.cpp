#include "base/log_field.h"

#include <fmt/format.h>

#include "host/ark_api.h"

namespace {

bool Escaped(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
         c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// The code point at `at` and its length in bytes; a byte that starts no valid sequence is one
// "character" of its own, reported with a length of 0.
std::pair<char32_t, std::size_t> Decode(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return {lead, 1};
  const std::size_t length = (lead & 0xE0) == 0xC0   ? 2
                             : (lead & 0xF0) == 0xE0 ? 3
                             : (lead & 0xF8) == 0xF0 ? 4
                                                     : 0;
  if (length == 0 || at + length > text.size()) return {lead, 0};
  char32_t code = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(at + k) & 0xC0) != 0x80) return {lead, 0};
    code = (code << 6) | (byte(at + k) & 0x3F);
  }
  return {code, length};
}

}  // namespace

std::string LogField(std::string_view utf8) {
  std::string out;
  out.reserve(std::min(utf8.size(), kMaxLogField + 16));
  std::size_t characters = 0, at = 0;
  for (; at < utf8.size() && characters < kMaxLogField; ++characters) {
    const auto [code, length] = Decode(utf8, at);
    if (length == 0) {
      out += fmt::format("\\x{:02X}", static_cast<unsigned>(code));
      ++at;
    } else if (Escaped(code)) {
      out += code < 0x100 ? fmt::format("\\x{:02X}", static_cast<unsigned>(code))
                          : fmt::format("\\u{:04X}", static_cast<unsigned>(code));
      at += length;
    } else {
      out.append(utf8.substr(at, length));
      at += length;
    }
  }
  if (at < utf8.size()) {
    std::size_t more = 0;
    for (; at < utf8.size(); ++more) at += std::max<std::size_t>(1, Decode(utf8, at).second);
    out += fmt::format("\u2026({} more)", more);
  }
  return out;
}

std::wstring LogField(std::wstring_view text) {
  return ArkApi::Tools::Utf8Decode(LogField(ArkApi::Tools::Utf8Encode(std::wstring(text))));
}
