// The game's value types as both sides of the host interface use them.
#include <gtest/gtest.h>

#include "host/ark_api.h"
#include "host/fstring.h"

namespace {

TEST(FString, EmptyTextHasNoStorage) {
  const FString empty("");
  EXPECT_EQ(empty.Num(), 0);
  EXPECT_EQ(empty.Max(), 0);
  EXPECT_EQ(std::u16string_view(*empty), u"");
}

TEST(FString, CountIncludesTheTerminator) {
  const FString text("abc");
  EXPECT_EQ(text.Len(), 3);
  EXPECT_EQ(text.Num(), 4);
  EXPECT_EQ((*text)[3], u'\0');
}

TEST(FString, NarrowTextIsWidenedByteByByte) {
  // "é" is two bytes in UTF-8; each byte above 0x7F becomes one '?'.
  EXPECT_EQ(FString("caf\xC3\xA9.").View(), u"caf??.");
}

TEST(FString, WideTextKeepsCharactersOutsideTheBasicPlane) {
  const FString text(L"a\U0001F996b");
  EXPECT_EQ(text.Len(), 4);  // the creature takes a surrogate pair
  EXPECT_EQ(text.ToWide(), L"a\U0001F996b");
}

TEST(FString, CopiesAreDeepAndMovesEmptyTheSource) {
  FString original("Rex");
  FString copy = original;
  EXPECT_NE(*copy, *original);
  EXPECT_EQ(copy, original);
  FString moved = std::move(original);
  EXPECT_EQ(moved.View(), u"Rex");
  EXPECT_EQ(original.Num(), 0);  // NOLINT(bugprone-use-after-move): moved-from is empty
}

TEST(TArray, GrowsKeepsOrderAndRemovesInPlace) {
  TArray<FString> names;
  for (int i = 0; i < 20; ++i) names.Add(FString(std::to_string(i)));
  names.Add(names[0]);  // an element of itself, across a reallocation
  ASSERT_EQ(names.Num(), 21);
  EXPECT_EQ(names[20].View(), u"0");
  names.RemoveAt(0);
  EXPECT_EQ(names[0].View(), u"1");
  EXPECT_EQ(names.Num(), 20);
  const TArray<FString> copy = names;
  names.Empty();
  EXPECT_EQ(copy.Num(), 20);
  EXPECT_EQ(copy[19].View(), u"0");
}

TEST(Utf8, RoundTripsEveryPlane) {
  const std::wstring text = L"Ankylo \u00e9\u4e2d\U0001F996";
  EXPECT_EQ(ArkApi::Tools::Utf8Decode(ArkApi::Tools::Utf8Encode(text)), text);
  EXPECT_EQ(ArkApi::Tools::Utf8Encode(L"\u00e9"), "\xC3\xA9");
}

TEST(Utf8, MalformedBytesBecomeReplacementCharacters) {
  EXPECT_EQ(ArkApi::Tools::Utf8Decode("a\xFF"
                                      "b"),
            L"a\uFFFDb");
  EXPECT_EQ(ArkApi::Tools::Utf8Decode("\xC3"), L"\uFFFD");            // cut short
  EXPECT_EQ(ArkApi::Tools::Utf8Decode("\xC0\xAF"), L"\uFFFD\uFFFD");  // overlong '/'
  EXPECT_EQ(ArkApi::Tools::Utf8Decode("\xED\xA0\x80").size(), 3u);    // a surrogate
}

}  // namespace
