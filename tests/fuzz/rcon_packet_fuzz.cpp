// The RCON packet reader on an arbitrary byte stream, read as the server reads a connection: a
// size, then that many bytes, until a size or a packet is refused or the stream ends. Every
// packet read must encode back to itself, and its body as a reply must split into packets that
// read back and join to it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "sim/tool/rcon_packet.h"

namespace rcon = sim::tool::rcon;

namespace {

bool Same(const std::optional<rcon::Packet>& a, const rcon::Packet& b) {
  return a && a->id == b.id && a->type == b.type && a->body == b.body;
}

// The body of every packet in `bytes`, joined; aborts on one that does not read back.
std::string ReadReply(std::string_view bytes, int32_t id) {
  std::string joined;
  for (std::size_t at = 0; at < bytes.size();) {
    if (bytes.size() - at < 4) std::abort();
    const int32_t size = rcon::ReadInt32(bytes.data() + at);
    if (!rcon::ValidSize(size) || bytes.size() - at - 4 < static_cast<std::size_t>(size))
      std::abort();
    const std::optional<rcon::Packet> packet = rcon::Decode(bytes.substr(at + 4, size));
    if (!packet || packet->id != id || packet->type != rcon::kResponseValue) std::abort();
    joined += packet->body;
    at += 4 + static_cast<std::size_t>(size);
  }
  return joined;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view stream(reinterpret_cast<const char*>(data), size);
  for (std::size_t at = 0; stream.size() - at >= 4;) {
    const int32_t packet_size = rcon::ReadInt32(stream.data() + at);
    at += 4;
    if (!rcon::ValidSize(packet_size) || stream.size() - at < static_cast<std::size_t>(packet_size))
      break;
    const std::optional<rcon::Packet> packet = rcon::Decode(stream.substr(at, packet_size));
    if (!packet) break;
    at += static_cast<std::size_t>(packet_size);

    const std::string encoded = rcon::Encode(*packet);
    if (!Same(rcon::Decode(std::string_view(encoded).substr(4)), *packet)) std::abort();
    if (ReadReply(rcon::EncodeReply(packet->id, packet->body), packet->id) != packet->body)
      std::abort();
    rcon::SecretEquals(packet->body, "secret");
  }
  return 0;
}
