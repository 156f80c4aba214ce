#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/game_text.h"
#include "host/tarray.h"

// The game's wide string: UTF-16 code units with a terminating zero that the count includes.
// An empty string has no storage and count 0.
class FString {
 public:
  FString() noexcept = default;
  // A narrow text, widened byte by byte; every byte above 0x7F becomes '?'.
  FString(const char* narrow) : FString(std::string_view(narrow)) {}
  explicit FString(std::string_view narrow) {
    Assign(narrow.size(), [&](std::size_t i) {
      return static_cast<char16_t>(game_text::WidenedByte(static_cast<unsigned char>(narrow[i])));
    });
  }
  // A wide text of code points (wchar_t is UTF-32 here), stored as UTF-16.
  FString(const wchar_t* wide) : FString(std::wstring_view(wide)) {}
  explicit FString(std::wstring_view wide);
  explicit FString(std::u16string_view units) {
    Assign(units.size(), [&](std::size_t i) { return units[i]; });
  }

  // Characters without the terminator.
  int32_t Len() const { return data_.Num() > 0 ? data_.Num() - 1 : 0; }
  bool IsEmpty() const { return Len() == 0; }
  // The count of code units including the terminator, and the storage's capacity.
  int32_t Num() const { return data_.Num(); }
  int32_t Max() const { return data_.Max(); }
  const char16_t* operator*() const { return data_.Num() > 0 ? data_.GetData() : u""; }
  std::u16string_view View() const { return {**this, static_cast<std::size_t>(Len())}; }
  char16_t operator[](int32_t i) const { return data_[i]; }

  // The text as code points; a lone surrogate is kept as its own value.
  std::wstring ToWide() const;

  friend bool operator==(const FString& a, const FString& b) { return a.View() == b.View(); }

 private:
  template <typename Unit>
  void Assign(std::size_t count, Unit unit) {
    if (count == 0) return;
    data_.Reserve(static_cast<int32_t>(count + 1));
    for (std::size_t i = 0; i < count; ++i) data_.Add(unit(i));
    data_.Add(u'\0');
  }

  TArray<char16_t> data_;
};

static_assert(sizeof(FString) == 16);

inline FString::FString(std::wstring_view wide) {
  std::u16string units;
  units.reserve(wide.size());
  for (wchar_t c : wide) {
    const auto code = static_cast<uint32_t>(c);
    if (code >= 0x10000 && code <= 0x10FFFF) {
      units.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      units.push_back(code > 0x10FFFF ? u'\uFFFD' : static_cast<char16_t>(code));
    }
  }
  *this = FString(std::u16string_view(units));
}

inline std::wstring FString::ToWide() const {
  const std::u16string_view units = View();
  std::wstring wide;
  wide.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      wide.push_back(
          static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00)));
      ++i;
    } else {
      wide.push_back(static_cast<wchar_t>(unit));
    }
  }
  return wide;
}
