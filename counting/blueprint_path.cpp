#include "counting/blueprint_path.h"

#include <algorithm>
#include <string>

#include "host/game_access.h"
#include "host/game_text.h"

FString BlueprintPathFromFullName(std::u16string_view full) {
  const std::size_t space = full.find(u' ');
  if (space == std::u16string_view::npos) return FString();
  const std::size_t length = full.size();
  const std::size_t cut = length >= 2 && full.ends_with(u"_C") ? 3 : 1;
  const std::size_t start = std::min(space + 1, length);
  const std::size_t end = std::min(std::max(length + 1 - cut, start), length);
  const std::u16string_view mid = full.substr(start, end - start);

  // "Default__" is removed where it stands in the wrapped text; text that comes together where
  // one was removed is not searched again.
  constexpr std::u16string_view kDefault = u"Default__";
  const std::u16string wrapped = game_text::Wrap(mid);
  const std::u16string_view rest(wrapped);
  std::u16string result;
  result.reserve(wrapped.size());
  std::size_t from = 0;
  for (std::size_t at = rest.find(kDefault); at != std::u16string_view::npos;
       at = rest.find(kDefault, from)) {
    result.append(rest.substr(from, at - from));
    from = at + kDefault.size();
  }
  result.append(rest.substr(from));
  return FString(std::u16string_view(result));
}

FString GetClassBlueprintPath(UClass* cls) {
  if (cls == nullptr) return FString();
  UObject* default_object = Call<"UClass.GetDefaultObject">(cls, true);
  if (default_object == nullptr) return FString();
  FString full_name;
  Call<"UObjectBaseUtility.GetFullName">(default_object, &full_name, nullptr);
  return BlueprintPathFromFullName(full_name.View());
}

FString GetBlueprintPath(UObjectBase* object) {
  if (object == nullptr) return FString();
  return GetClassBlueprintPath(Field<"UObjectBase.Class">(object));
}

int32_t FindIgnoreCase(const FString& text, const FString& pattern) {
  const std::u16string_view haystack = text.View(), needle = pattern.View();
  if (needle.empty()) return -1;
  const auto at = std::search(
      haystack.begin(), haystack.end(), needle.begin(), needle.end(),
      [](char16_t a, char16_t b) { return game_text::FoldCase(a) == game_text::FoldCase(b); });
  return at == haystack.end() ? -1 : static_cast<int32_t>(at - haystack.begin());
}
