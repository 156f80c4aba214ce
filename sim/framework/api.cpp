// The framework's functions as plug-ins link them: each reaches the running stand-in server, or
// the process's registry of game members.
#include <string>

#include "host/ark_api.h"
#include "host/permissions.h"
#include "sim/framework/registry.h"
#include "sim/framework/text.h"
#include "sim/server.h"

namespace ArkApi {

ICommands& GetCommands() { return sim::Server::Current().commands(); }
IApiUtils& GetApiUtils() { return sim::Server::Current().api_utils(); }
const std::vector<std::shared_ptr<spdlog::sinks::sink>>& GetLogSinks() {
  return sim::Server::Current().log_sinks();
}

void* GetAddress(std::string_view name) { return sim::TheRegistry().FindFunction(name); }

void* GetAddress(const void* object, std::string_view name) {
  const sim::Registry::Field* field = sim::TheRegistry().FindField(name);
  if (field == nullptr) return nullptr;
  if (object == nullptr) sim::Fault("field " + std::string(name) + " read from a null object");
  if (field->owner != nullptr && !sim::FromHost<sim::Object>(object)->IsA(field->owner())) {
    sim::Fault("field " + std::string(name) + " read from " +
               sim::FromHost<sim::Object>(object)->full_name);
  }
  return field->address(const_cast<void*>(object));
}

BitField GetBitField(const void* object, std::string_view name) {
  const sim::Registry::BitField* field = sim::TheRegistry().FindBitField(name);
  if (field == nullptr) return {nullptr, 0, 0};
  if (object == nullptr) sim::Fault("bit field " + std::string(name) + " read from a null object");
  if (!sim::FromHost<sim::Object>(object)->IsA(field->owner())) {
    sim::Fault("bit field " + std::string(name) + " read from " +
               sim::FromHost<sim::Object>(object)->full_name);
  }
  return {field->word(const_cast<void*>(object)), field->bit_position, field->num_bits};
}

namespace Tools {

std::string GetCurrentDir() { return sim::Server::Current().server_dir().string(); }

std::string Utf8Encode(const std::wstring& wide) {
  std::string out;
  out.reserve(wide.size());
  for (wchar_t c : wide) {
    auto code = static_cast<uint32_t>(c);
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    // The lead byte marks how many continuation bytes follow, each with six more bits.
    static constexpr uint32_t kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
    const int extra = code < 0x80 ? 0 : code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    out.push_back(static_cast<char>(kLead[extra] | (code >> (6 * extra))));
    for (int k = extra - 1; k >= 0; --k)
      out.push_back(static_cast<char>(0x80 | ((code >> (6 * k)) & 0x3F)));
  }
  return out;
}

std::wstring Utf8Decode(const std::string& utf8) {
  static constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};  // to refuse overlong forms
  std::wstring out;
  out.reserve(utf8.size());
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char lead = byte(i);
    const int extra = lead < 0x80             ? 0
                      : (lead & 0xE0) == 0xC0 ? 1
                      : (lead & 0xF0) == 0xE0 ? 2
                      : (lead & 0xF8) == 0xF0 ? 3
                                              : -1;
    uint32_t code = extra <= 0 ? lead : lead & (0x7Fu >> (extra + 1));
    bool valid = extra >= 0 && i + extra < utf8.size();
    for (int k = 1; valid && k <= extra; ++k) {
      valid = (byte(i + k) & 0xC0) == 0x80;
      code = (code << 6) | (byte(i + k) & 0x3F);
    }
    valid = valid && code >= kSmallest[extra] && code <= 0x10FFFF &&
            !(code >= 0xD800 && code <= 0xDFFF);
    out.push_back(valid ? static_cast<wchar_t>(code) : L'\uFFFD');
    i += valid ? extra + 1 : 1;
  }
  return out;
}

}  // namespace Tools
}  // namespace ArkApi

namespace Permissions {

bool IsPlayerHasPermission(uint64_t steam_id, const FString& group) {
  sim::Server& server = sim::Server::Current();
  server.Trace("IsPlayerHasPermission " + std::to_string(steam_id) + " " + sim::ToUtf8(group));
  return server.InGroup(steam_id, sim::ToUtf8(group));
}

}  // namespace Permissions
