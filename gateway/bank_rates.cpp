#include "gateway/bank_rates.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdio>
#include <memory>

#include "common/cp1251.h"
#include "common/date_time.h"
#include "retrieval/currencies.h"

namespace corvella::gateway {

namespace {

constexpr std::int64_t kMaxNominal = 1'000'000;
constexpr std::int64_t kMaxValue = 10'000'000;  // roubles, far above any rate

constexpr int kMoscowOffset = 3 * 3600;
constexpr int kPublishedMinute = 15 * 60 + 30;
constexpr std::int64_t kMinAttemptGap = 600;
constexpr std::int64_t kMinAttemptGapWithout = 60;
constexpr std::int64_t kMaxHeldUnchecked = 6 * 3600;

struct XmlDocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using XmlDoc = std::unique_ptr<xmlDoc, XmlDocFree>;

std::string Content(xmlNode* node) {
  xmlChar* text = xmlNodeGetContent(node);
  std::string s = text ? reinterpret_cast<const char*>(text) : "";
  xmlFree(text);
  return s;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\n' || s.front() == '\r' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\r' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

// "84,1200" (a decimal comma, at most eight places) in hundred-millionths of a rouble.
std::optional<std::int64_t> ParseDecimal(std::string_view s) {
  s = Trim(s);
  std::int64_t whole = 0, frac = 0, scale = kRateScale;
  bool comma = false, digits = false;
  for (char c : s) {
    if ((c == ',' || c == '.') && !comma) {
      comma = true;
    } else if (c >= '0' && c <= '9') {
      digits = true;
      if (!comma) {
        whole = whole * 10 + (c - '0');
        if (whole > kMaxValue) return std::nullopt;
      } else {
        if (scale == 1) return std::nullopt;
        scale /= 10;
        frac += (c - '0') * scale;
      }
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  return whole * kRateScale + frac;
}

std::optional<std::int64_t> ParseCount(std::string_view s) {
  s = Trim(s);
  if (s.empty() || s.size() > 7) return std::nullopt;
  std::int64_t n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > kMaxNominal) return std::nullopt;
  return n;
}

XmlDoc Parse(std::string_view xml, const char* encoding) {
  if (xml.size() > static_cast<std::size_t>(INT32_MAX)) return nullptr;
  return XmlDoc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "rates.xml", encoding,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

std::string Attribute(xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, BAD_CAST name);
  std::string s = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return s;
}

// A Valute's ID when it is one the bank's series can be asked by (letters and digits), else empty.
std::string SeriesKey(std::string_view id) {
  id = Trim(id);
  if (id.empty() || id.size() > 16) return {};
  for (char c : id) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return {};
  }
  return std::string(id);
}

// The document's ValCurs root, or null with `error` set.
xmlNode* ValCursRoot(std::string_view xml, XmlDoc& doc, std::string& error) {
  doc = Parse(xml, nullptr);
  // A list that declares no encoding and is not UTF-8 is the bank's usual code page.
  if (!doc && xml.find("encoding=") == std::string_view::npos) doc = Parse(xml, "windows-1251");
  if (!doc) {
    error = "rates list is not well-formed XML";
    return nullptr;
  }
  xmlNode* root = xmlDocGetRootElement(doc.get());
  if (!root || xmlStrcmp(root->name, BAD_CAST "ValCurs") != 0) {
    error = "rates list has no ValCurs root";
    return nullptr;
  }
  return root;
}

// The Nominal and Value of a Valute or Record, with the other children it names.
struct Fields {
  std::string nominal, value, code, name;
};
Fields ReadFields(xmlNode* parent) {
  Fields fields;
  for (xmlNode* f = parent->children; f; f = f->next) {
    if (f->type != XML_ELEMENT_NODE) continue;
    std::string_view tag = reinterpret_cast<const char*>(f->name);
    if (tag == "CharCode")
      fields.code = Content(f);
    else if (tag == "Name")
      fields.name = Content(f);
    else if (tag == "Nominal")
      fields.nominal = Content(f);
    else if (tag == "Value")
      fields.value = Content(f);
  }
  return fields;
}

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
}

void AppendRow(std::string& out, std::string_view code, std::string_view units, std::string_view name,
               std::string_view rate, std::string_view cells = {}) {
  out += "<tr><td>";
  AppendEscaped(out, code);
  out += "</td><td>";
  out += units;
  out += "</td><td>";
  AppendEscaped(out, name);
  out += "</td><td>";
  out += rate;
  out += "</td>";
  out += cells;
  out += "</tr>\n";
}

}  // namespace

// "dd.mm.yyyy" as days since 1970-01-01.
std::optional<std::int64_t> ParseBankDate(std::string_view s) {
  if (s.size() != 10 || s[2] != '.' || s[5] != '.') return std::nullopt;
  int parts[3] = {0, 0, 0};
  const int starts[3] = {0, 3, 6}, lengths[3] = {2, 2, 4};
  for (int p = 0; p < 3; ++p) {
    for (int i = 0; i < lengths[p]; ++i) {
      char c = s[static_cast<std::size_t>(starts[p] + i)];
      if (c < '0' || c > '9') return std::nullopt;
      parts[p] = parts[p] * 10 + (c - '0');
    }
  }
  if (parts[1] < 1 || parts[1] > 12 || parts[0] < 1 || parts[0] > 31 || parts[2] < 1992) return std::nullopt;
  long long days = DaysFromCivil(parts[2], parts[1], parts[0]);
  CivilDate back = CivilFromDays(days);
  if (back.day != parts[0] || back.month != parts[1]) return std::nullopt;  // 31.02 and the like
  return days - DaysFromCivil(1970, 1, 1);
}

std::string FormatRate(std::int64_t scaled) {
  std::int64_t tenThousandths = (scaled + 5'000) / 10'000;  // four places, half up
  char buf[48];
  std::snprintf(buf, sizeof buf, "%lld,%04lld", static_cast<long long>(tenThousandths / 10'000),
                static_cast<long long>(tenThousandths % 10'000));
  return buf;
}

std::string FormatChange(std::int64_t scaled) {
  const std::int64_t rounded = RoundToPage(scaled);
  if (rounded == 0) return FormatRate(0);
  std::string text(1, rounded > 0 ? '+' : '-');
  text += FormatRate(rounded > 0 ? rounded : -rounded);
  return text;
}

std::int64_t RoundToPage(std::int64_t scaled) {
  const std::int64_t half = scaled >= 0 ? 5'000 : -5'000;
  return (scaled + half) / 10'000 * 10'000;
}

std::string BankDateText(std::int64_t day) {
  CivilDate d = CivilFromDays(DaysFromCivil(1970, 1, 1) + day);
  char date[16];
  std::snprintf(date, sizeof date, "%02d.%02d.%04d", d.day % 100, d.month % 100, d.year % 10000);
  return date;
}

std::optional<RatesSet> ReadBankRates(std::string_view xml, std::string& error) {
  XmlDoc doc;
  xmlNode* root = ValCursRoot(xml, doc, error);
  if (!root) return std::nullopt;
  RatesSet set;
  std::optional<std::int64_t> day = ParseBankDate(Attribute(root, "Date"));
  if (!day) {
    error = "rates list has no valid Date";
    return std::nullopt;
  }
  set.effectiveDay = *day;
  for (xmlNode* v = root->children; v; v = v->next) {
    if (v->type != XML_ELEMENT_NODE || xmlStrcmp(v->name, BAD_CAST "Valute") != 0) continue;
    const Fields f = ReadFields(v);
    std::optional<std::int64_t> n = ParseCount(f.nominal);
    std::optional<std::int64_t> val = ParseDecimal(f.value);
    std::string code(Trim(f.code));
    if (code.size() != 3 || !n || !val || *val == 0) {
      set.skipped.push_back(code);
      continue;
    }
    set.rates.push_back({SeriesKey(Attribute(v, "ID")), code, std::string(Trim(f.name)), *n, *val});
  }
  if (set.rates.empty()) {
    error = "rates list holds no currency";
    return std::nullopt;
  }
  return set;
}

std::optional<std::vector<BankRecord>> ReadBankSeries(std::string_view xml, std::string& error) {
  XmlDoc doc;
  xmlNode* root = ValCursRoot(xml, doc, error);
  if (!root) return std::nullopt;
  std::vector<BankRecord> records;
  for (xmlNode* r = root->children; r; r = r->next) {
    if (r->type != XML_ELEMENT_NODE || xmlStrcmp(r->name, BAD_CAST "Record") != 0) continue;
    const Fields f = ReadFields(r);
    std::optional<std::int64_t> day = ParseBankDate(Attribute(r, "Date"));
    std::optional<std::int64_t> n = ParseCount(f.nominal);
    std::optional<std::int64_t> val = ParseDecimal(f.value);
    if (!day || !n || !val || *val == 0) {
      error = "rates series has a malformed Record";
      return std::nullopt;
    }
    records.push_back({*day, *n, *val});
  }
  return records;
}

// The cells after a row's rate: its change, the next day's rate, its last published rates.
std::string DetailCells(const RowDetails& d) {
  std::string cells;
  if (d.change) cells += "<td class=\"change\">" + FormatChange(*d.change) + "</td>";
  if (d.tomorrow && d.tomorrowDay) {
    cells += "<td class=\"tomorrow\" data-date=\"" + BankDateText(*d.tomorrowDay) + "\">" +
             FormatRate(*d.tomorrow) + "</td>";
  }
  if (!d.history.empty()) {
    cells += "<td class=\"history\">";
    for (std::size_t k = 0; k < d.history.size(); ++k) {
      if (k) cells += ' ';
      cells += FormatRate(d.history[k]);
    }
    cells += "</td>";
  }
  return cells;
}

std::string RenderRatesPage(const RatesSet& set, const std::vector<RowDetails>* details) {
  const std::string date = BankDateText(set.effectiveDay);
  std::string page;
  page.reserve(8192);
  page += "<!DOCTYPE html>\n<html lang=\"ru\"><head><meta charset=\"utf-8\"><title>Официальные курсы на ";
  page += date;
  page +=
      "</title></head>\n<body>\n<table>\n<tr><th>Код</th><th>Единиц</th><th>Валюта</th><th>Курс</th></tr>\n";
  std::vector<bool> shown(set.rates.size(), false);
  // The client's currencies first, in the order of its hint lines.
  for (std::size_t row = 0; row < kCurrencyCount; ++row) {
    const CurrencyRow& c = kCurrencies[row];
    std::string rate, cells;
    for (std::size_t i = 0; i < set.rates.size(); ++i) {
      const BankRate& r = set.rates[i];
      if (r.charCode != c.charCode) continue;
      rate = FormatRate(r.value * c.units / r.nominal);
      if (details && row < details->size()) cells = DetailCells((*details)[row]);
      shown[i] = true;
      break;
    }
    AppendRow(page, c.charCode, std::to_string(c.units), Cp1251ToUtf8(c.searchName), rate, cells);
  }
  for (std::size_t i = 0; i < set.rates.size(); ++i) {
    const BankRate& r = set.rates[i];
    if (!shown[i]) AppendRow(page, r.charCode, std::to_string(r.nominal), r.name, FormatRate(r.value));
  }
  page += "</table>\n<p>Источник: официальные курсы Банка России (cbr.ru) на ";
  page += date;
  page += ".</p>\n</body></html>\n";
  return page;
}

bool RatesDue(std::optional<std::int64_t> heldEffectiveDay, std::int64_t lastAttemptUtc,
              std::int64_t nowUtc) {
  const std::int64_t since = nowUtc - lastAttemptUtc;
  if (!heldEffectiveDay) return since >= kMinAttemptGapWithout;
  if (since < kMinAttemptGap) return false;
  if (since >= kMaxHeldUnchecked) return true;
  const std::int64_t moscow = nowUtc + kMoscowOffset;
  const std::int64_t today = moscow / 86400;
  if (*heldEffectiveDay > today) return false;   // tomorrow's set is already here
  const std::int64_t weekday = (today + 4) % 7;  // 1970-01-01 was a Thursday; 0 is Sunday
  const std::int64_t minute = (moscow % 86400) / 60;
  return weekday >= 1 && weekday <= 5 && minute >= kPublishedMinute;
}

}  // namespace corvella::gateway
