// Source RCON framing and the password check.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/tool/rcon_packet.h"

namespace {

namespace rcon = sim::tool::rcon;

// The packets in a byte string, checked as a client would read them.
std::vector<rcon::Packet> Split(const std::string& bytes) {
  std::vector<rcon::Packet> packets;
  for (std::size_t at = 0; at < bytes.size();) {
    const int32_t size = rcon::ReadInt32(bytes.data() + at);
    EXPECT_TRUE(rcon::ValidSize(size)) << size;
    const auto packet = rcon::Decode(std::string_view(bytes).substr(at + 4, size));
    EXPECT_TRUE(packet);
    packets.push_back(*packet);
    at += 4 + static_cast<std::size_t>(size);
  }
  return packets;
}

TEST(RconPacket, EncodesLittleEndianWithTwoNuls) {
  EXPECT_EQ(rcon::Encode({-1, rcon::kAuthResponse, "ok"}),
            std::string("\x0c\0\0\0\xff\xff\xff\xff\x02\0\0\0ok\0\0", 16));
}

TEST(RconPacket, SplitsLongRepliesIntoFullPacketsWithTheSameId) {
  const std::string text = std::string(rcon::kMaxBody * 2, 'a') + "tail";
  const auto packets = Split(rcon::EncodeReply(77, text));
  ASSERT_EQ(packets.size(), 3u);
  std::string joined;
  for (const auto& packet : packets) {
    EXPECT_EQ(packet.id, 77);
    EXPECT_EQ(packet.type, rcon::kResponseValue);
    joined += packet.body;
  }
  EXPECT_EQ(packets[0].body.size(), rcon::kMaxBody);
  EXPECT_EQ(joined, text);
}

TEST(RconPacket, AnEmptyReplyIsOneEmptyPacket) {
  const auto packets = Split(rcon::EncodeReply(5, ""));
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].body, "");
}

TEST(RconPacket, DecodeRefusesPayloadsWithoutTheirNulsOrTooShort) {
  const std::string good = rcon::Encode({9, rcon::kExecCommand, "tw.reload"}).substr(4);
  EXPECT_EQ(rcon::Decode(good)->body, "tw.reload");
  EXPECT_FALSE(rcon::Decode(good.substr(0, good.size() - 1) + "x"));
  EXPECT_FALSE(rcon::Decode(std::string(9, '\0')));
  // The body ends at its first NUL.
  EXPECT_EQ(rcon::Decode(std::string("\1\0\0\0\2\0\0\0ab\0cd\0\0", 15))->body, "ab");
}

TEST(RconPacket, SizesOutsideTenTo4096AreRefused) {
  for (int32_t size : {-1, 0, 9, 4097, INT32_MIN}) EXPECT_FALSE(rcon::ValidSize(size)) << size;
  for (int32_t size : {10, 4096}) EXPECT_TRUE(rcon::ValidSize(size)) << size;
}

TEST(RconPacket, PasswordsMatchOnlyWhenEqual) {
  EXPECT_TRUE(rcon::SecretEquals("secret", "secret"));
  for (const char* given : {"", "secre", "secret!", "Secret", "secretsecret"})
    EXPECT_FALSE(rcon::SecretEquals(given, "secret")) << given;
}

}  // namespace
