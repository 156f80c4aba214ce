#include "notify/limits_answer.h"

#include <fmt/xchar.h>

#include "base/config.h"
#include "base/log_field.h"
#include "base/text.h"
#include "counting/limits.h"
#include "counting/other_maps.h"

namespace {

// A template with positional arguments ("{0}", "{}", format specifications allowed); throws the
// formatting library's error for a template it rejects.
template <typename... Args>
std::wstring FormatTemplate(const std::wstring& tmpl, const Args&... args) {
  return fmt::format(fmt::runtime(std::wstring_view(tmpl)), args...);
}

}  // namespace

std::wstring LimitsAnswer(int32_t team_id, int32_t max_amount, Tier tier) {
  const MessageSettings& messages = CurrentSettings().messages;
  RefreshClusterCounts();
  const TeamCounts counts = CountsOf(team_id);
  std::wstring answer;
  const DinoCountStore& store = Store();
  if (store.KindCount() > 0) {
    const std::wstring kind_template = messages.Text("ShowLimitMsg");
    store.ForEachKind([&](const FString&, const KindCounts& kind) {
      // The display name is data: its braces are doubled for the senders' format step, which
      // reads the finished answer once more.
      answer += FormatTemplate(kind_template, EscapeBraces(LogField(kind.name())), counts.Of(kind),
                               kind.LimitFor(tier));
    });
  }
  answer += FormatTemplate(messages.Text("TotalLimitMsg"), counts.total(), max_amount);
  return answer;
}
