#include "gateway/rate_history.h"

#include <algorithm>

#include "retrieval/currencies.h"

namespace corvella::gateway {

namespace {

constexpr std::int64_t kMoscowOffset = 3 * 3600;
constexpr std::int64_t kLongestRetry = 6 * 3600;

const BankRate* Find(const RatesSet* set, std::string_view charCode) {
  if (!set) return nullptr;
  for (const BankRate& r : set->rates) {
    if (r.charCode == charCode) return &r;
  }
  return nullptr;
}

// A rate in a row's units, rounded as the page writes it.
std::int64_t InUnits(std::int64_t value, std::int64_t nominal, int units) {
  return RoundToPage(value * units / nominal);
}

// "dd/mm/yyyy", as the bank's queries take a date.
std::string QueryDate(std::int64_t day) {
  std::string text = BankDateText(day);
  std::replace(text.begin(), text.end(), '.', '/');
  return text;
}

std::string WithQuery(std::string url, const std::string& query) {
  return url + (url.find('?') == std::string::npos ? "?" : "&") + query;
}

}  // namespace

std::int64_t MoscowDay(std::int64_t nowUtc) {
  const std::int64_t t = nowUtc + kMoscowOffset;
  return t >= 0 ? t / 86400 : (t - 86399) / 86400;
}

bool HeldLists::Take(RatesSet set, std::int64_t moscowDay) {
  std::optional<RatesSet>& place = set.effectiveDay > moscowDay ? next : today;
  if (place && set.effectiveDay < place->effectiveDay) return false;
  place = std::move(set);
  return true;
}

bool HeldLists::MoveOver(std::int64_t moscowDay) {
  if (!next || next->effectiveDay > moscowDay) return false;
  today = std::move(next);
  next.reset();
  return true;
}

std::optional<std::int64_t> HeldLists::Latest() const {
  if (next) return next->effectiveDay;
  if (today) return today->effectiveDay;
  return std::nullopt;
}

const RatesSet* HeldLists::Shown() const {
  if (today) return &*today;
  return next ? &*next : nullptr;
}

std::vector<std::string> SeriesIds(const HeldLists& lists) {
  std::vector<std::string> ids;
  for (const CurrencyRow& c : kCurrencies) {
    const BankRate* r = Find(lists.today ? &*lists.today : nullptr, c.charCode);
    if (r && !r->id.empty()) ids.push_back(r->id);
  }
  return ids;
}

std::vector<RowDetails> DetailsOf(const HeldLists& lists,
                                  const std::map<std::string, std::vector<BankRecord>>& series) {
  std::vector<RowDetails> details(kCurrencyCount);
  if (!lists.today) return details;
  for (std::size_t row = 0; row < kCurrencyCount; ++row) {
    const CurrencyRow& c = kCurrencies[row];
    const BankRate* now = Find(&*lists.today, c.charCode);
    if (!now) continue;
    RowDetails& d = details[row];
    const std::int64_t rate = InUnits(now->value, now->nominal, c.units);
    if (const BankRate* later = Find(lists.next ? &*lists.next : nullptr, c.charCode)) {
      d.tomorrowDay = lists.next->effectiveDay;
      d.tomorrow = InUnits(later->value, later->nominal, c.units);
    }
    const auto found = series.find(now->id);
    if (found == series.end()) continue;
    // The published rates before today's, each in the row's units by its own nominal.
    std::vector<BankRecord> before;
    for (const BankRecord& r : found->second) {
      if (r.day < lists.today->effectiveDay) before.push_back(r);
    }
    if (before.empty()) continue;
    const std::size_t first = before.size() > kHistoryLength - 1 ? before.size() - (kHistoryLength - 1) : 0;
    for (std::size_t k = first; k < before.size(); ++k) {
      d.history.push_back(InUnits(before[k].value, before[k].nominal, c.units));
    }
    d.change = rate - d.history.back();
    d.history.push_back(rate);
  }
  return details;
}

std::vector<BankRecord> SeriesWithin(std::vector<BankRecord> records, std::int64_t fromDay,
                                     std::int64_t toDay) {
  std::erase_if(records, [&](const BankRecord& r) { return r.day < fromDay || r.day > toDay; });
  std::stable_sort(records.begin(), records.end(),
                   [](const BankRecord& a, const BankRecord& b) { return a.day < b.day; });
  records.erase(std::unique(records.begin(), records.end(),
                            [](const BankRecord& a, const BankRecord& b) { return a.day == b.day; }),
                records.end());
  return records;
}

std::string DatedListUrl(const std::string& dailyUrl, std::int64_t day) {
  return WithQuery(dailyUrl, "date_req=" + QueryDate(day));
}

std::string SeriesUrl(const std::string& dailyUrl, const std::string& id, std::int64_t fromDay,
                      std::int64_t toDay) {
  const std::size_t query = dailyUrl.find('?');
  const std::string path = dailyUrl.substr(0, query);
  const std::size_t slash = path.rfind('/');
  const std::string base = slash == std::string::npos ? path + "/" : path.substr(0, slash + 1);
  return base + "XML_dynamic.asp?date_req1=" + QueryDate(fromDay) + "&date_req2=" + QueryDate(toDay) +
         "&VAL_NM_RQ=" + id;
}

std::int64_t RetryDelay(int failures, std::int64_t first) {
  std::int64_t delay = std::max<std::int64_t>(first, 1);
  for (int k = 1; k < failures && delay < kLongestRetry; ++k) delay *= 2;
  return std::min(delay, kLongestRetry);
}

}  // namespace corvella::gateway
