#include "sim/tool/rcon_packet.h"

namespace sim::tool::rcon {

int32_t ReadInt32(const char* bytes) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return static_cast<int32_t>(value);
}

void AppendInt32(std::string& out, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

std::string Encode(const Packet& packet) {
  std::string out;
  out.reserve(4 + kMinSize + packet.body.size());
  AppendInt32(out, static_cast<int32_t>(kMinSize + packet.body.size()));
  AppendInt32(out, packet.id);
  AppendInt32(out, packet.type);
  out += packet.body;
  out.push_back('\0');
  out.push_back('\0');
  return out;
}

std::string EncodeReply(int32_t id, std::string_view text) {
  std::string out;
  std::size_t at = 0;
  do {
    const std::string_view part = text.substr(at, kMaxBody);
    out += Encode({id, kResponseValue, std::string(part)});
    at += part.size();
  } while (at < text.size());
  return out;
}

std::optional<Packet> Decode(std::string_view payload) {
  if (payload.size() < static_cast<std::size_t>(kMinSize)) return std::nullopt;
  if (payload[payload.size() - 1] != '\0' || payload[payload.size() - 2] != '\0')
    return std::nullopt;
  Packet packet;
  packet.id = ReadInt32(payload.data());
  packet.type = ReadInt32(payload.data() + 4);
  const std::string_view body = payload.substr(8, payload.size() - 10);
  packet.body = std::string(body.substr(0, body.find('\0')));
  return packet;
}

bool SecretEquals(std::string_view given, std::string_view secret) {
  // Every byte of `given` is compared against the secret repeated, so the time depends on the
  // given length alone; a length mismatch is folded into the same result.
  unsigned char difference = given.size() != secret.size() ? 1 : 0;
  if (secret.empty()) return given.empty();
  for (std::size_t i = 0; i < given.size(); ++i) {
    difference |= static_cast<unsigned char>(given[i] ^ secret[i % secret.size()]);
  }
  volatile unsigned char result = difference;  // keeps the loop from being cut short
  return result == 0;
}

}  // namespace sim::tool::rcon
