#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Source RCON packets on the wire: a little-endian 32-bit size, then the request id and the type
// (32-bit each), the body and two NULs (the body's terminator and an empty second string). The
// size counts every byte after itself, so it is at least 10 and, here, at most 4096.
namespace sim::tool::rcon {

inline constexpr int32_t kAuth = 3;
inline constexpr int32_t kAuthResponse = 2;
inline constexpr int32_t kExecCommand = 2;
inline constexpr int32_t kResponseValue = 0;

inline constexpr int32_t kMinSize = 10;
inline constexpr int32_t kMaxSize = 4096;
// The longest body one packet carries.
inline constexpr std::size_t kMaxBody = kMaxSize - kMinSize;

struct Packet {
  int32_t id = 0;
  int32_t type = 0;
  std::string body;
};

// Whether a size read from the wire is one this server accepts.
inline bool ValidSize(int32_t size) { return size >= kMinSize && size <= kMaxSize; }

int32_t ReadInt32(const char* bytes);
void AppendInt32(std::string& out, int32_t value);

// The bytes of one packet, size field included; the body must fit (kMaxBody).
std::string Encode(const Packet& packet);
// The answer to a command: the text split into packets of at most kMaxSize bytes, each with the
// request's id and type 0. An empty text is one empty packet.
std::string EncodeReply(int32_t id, std::string_view text);
// The packet in the `size` bytes that follow a size field. The body ends at its first NUL.
// Nothing when the payload is shorter than 10 bytes or does not end in two NULs.
std::optional<Packet> Decode(std::string_view payload);

// Compares a password a client sent with the real one in time that does not depend on where
// they differ, nor on the real one's length.
bool SecretEquals(std::string_view given, std::string_view secret);

}  // namespace sim::tool::rcon
