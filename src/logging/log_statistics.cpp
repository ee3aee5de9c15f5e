#include "logging/log_statistics.h"

#include <locale.h>
#include <sys/stat.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "logging/log_reader.h"

namespace quorvane {
namespace {

constexpr size_t kFieldCommas = 6;

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The rare forms that from_chars reads differently from the C library (hexadecimal, and
// numbers beyond a float's range, which "%f" turns into infinity or zero): read by strtof
// in the "C" locale, whatever locale the toolkit has chosen.
float ReadWithCLibrary(std::string_view text) {
  static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", nullptr);
  const std::string copy(text);
  if (cLocale == nullptr) return std::strtof(copy.c_str(), nullptr);
  return ::strtof_l(copy.c_str(), nullptr, cLocale);
}

bool StartsHex(std::string_view text) {
  return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

// The positions of the six commas of an entry; false when the line holds any other number.
// A plain loop: entries are short, and a library search per comma costs more than it saves.
bool FindCommas(std::string_view line, std::array<size_t, kFieldCommas>& commas) {
  size_t found = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != ',') continue;
    if (found == kFieldCommas) return false;
    commas[found++] = i;
  }
  return found == kFieldCommas;
}

// The form the log writer uses, up to nine digits, a point and up to six decimals, read
// without the general parser. The quotient is exact in double up to its last bit, and no
// such decimal lies close enough to the middle between two floats for that last bit to
// change the float it rounds to, so the result is the float "%f" would give.
bool ReadPlainDecimal(std::string_view text, float& value) {
  static constexpr double kScale[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
  size_t i = 0;
  int64_t digits = 0;
  while (i < text.size() && i < 10 && text[i] >= '0' && text[i] <= '9') {
    digits = digits * 10 + (text[i++] - '0');
  }
  if (i == 0 || i > 9 || i == text.size() || text[i] != '.') return false;
  const size_t point = i++;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9')
    digits = digits * 10 + (text[i++] - '0');
  const size_t decimals = i - point - 1;
  if (i != text.size() || decimals == 0 || decimals > 6) return false;
  value = static_cast<float>(static_cast<double>(digits) / kScale[decimals]);
  return true;
}

std::string Decimal(int64_t value) { return std::to_string(value); }

std::string EntryTimeText(const std::string& timestamp) {
  std::string text = timestamp;
  const size_t comma = text.find(',');
  if (comma != std::string::npos) text[comma] = ' ';
  return text;
}

std::string SourceRow(const SourceTally& tally) {
  const bool broadcast = tally.source == kBroadcastSource;
  std::string row = tally.source;
  row += "\tPolls: ";
  row += broadcast ? std::string("N/A") : Decimal(tally.entries);
  row += broadcast ? "\tReceived: " : "\tReplies: ";
  row += Decimal(tally.successes);
  row += "\tAverage Correction: ";
  // Averaged over all the source's entries, as the overall average is: dividing the
  // magnitudes of failed entries by the successful ones only would overstate it.
  if (tally.entries != 0) row += FixedSix(static_cast<double>(tally.magnitudeSum) / tally.entries);
  return row;
}

std::string ThreeDecimals(float value) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::optional<float> ReadCorrection(std::string_view field) {
  size_t pos = 0;
  while (pos < field.size() && IsBlank(field[pos])) ++pos;
  std::string_view text = field.substr(pos);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  // from_chars takes a minus sign of its own; "%f" takes only one sign.
  if (text.empty() || text[0] == '+' || text[0] == '-') return std::nullopt;
  float value = 0.0f;
  if (ReadPlainDecimal(text, value)) {
    // the log writer's own form
  } else if (StartsHex(text)) {
    value = ReadWithCLibrary(text);
  } else {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::invalid_argument) return std::nullopt;
    if (result.ec == std::errc::result_out_of_range) value = ReadWithCLibrary(text);
  }
  if (!std::isfinite(value)) return std::nullopt;
  value = negative ? -value : value;
  return value + 0.0f;  // a negative zero becomes zero
}

std::optional<EntryFields> SplitEntry(std::string_view line) {
  std::array<size_t, kFieldCommas> c{};
  if (line.empty() || !FindCommas(line, c)) return std::nullopt;
  const std::optional<float> read = ReadCorrection(line.substr(c[1] + 1, c[2] - c[1] - 1));
  if (!read) return std::nullopt;
  return EntryFields{line.substr(0, c[1]), *read, line.substr(c[2] + 1, c[3] - c[2] - 1),
                     line.substr(c[5] + 1)};
}

void LogStatisticsPass::AddLine(std::string_view line) {
  const std::optional<EntryFields> entry = SplitEntry(line);
  if (!entry) return;
  const float x = entry->correction;
  const float m = std::fabs(x);
  LogStatistics& s = stats_;
  ++s.entryCount;
  s.lastTimestamp.assign(entry->timestamp);
  if (s.entryCount == 1) s.firstTimestamp = s.lastTimestamp;
  if (m > std::fabs(s.largest)) s.largest = x;
  if (m < std::fabs(s.smallest)) s.smallest = x;
  if (x >= 0.0f && x > s.largestPositive) s.largestPositive = x;
  if (x < 0.0f && x < s.largestNegative) s.largestNegative = x;
  s.magnitudeSum += m;
  const bool success = entry->status == "S";
  if (success) ++s.successCount;
  if (entry->status == "F") ++s.failureCount;
  CountForSource(entry->source, m, success);
}

void LogStatisticsPass::CountForSource(std::string_view source, float magnitude, bool success) {
  if (source.empty()) return;
  SourceTally* tally = nullptr;
  for (SourceTally& t : stats_.sources) {
    if (t.source == source) {
      tally = &t;
      break;
    }
  }
  if (tally == nullptr) {
    if (stats_.sources.size() >= kMaxSourceTallies) return;
    tally = &stats_.sources.emplace_back();
    tally->source = std::string(source);
  }
  ++tally->entries;
  tally->magnitudeSum += magnitude;
  if (success) ++tally->successes;
}

std::string FixedSix(double value) {
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  return std::string(buffer, result.ptr);
}

LogStatisticsTexts StatisticsTexts(const LogStatistics& stats) {
  LogStatisticsTexts t;
  t.entryCount = Decimal(stats.entryCount);
  t.average = stats.entryCount == 0
                  ? std::string("N/A")
                  : FixedSix(static_cast<double>(stats.magnitudeSum) / stats.entryCount);
  t.largest = FixedSix(stats.largest);
  t.largestPositive = FixedSix(stats.largestPositive);
  t.largestNegative = FixedSix(stats.largestNegative);
  t.smallest = FixedSix(stats.smallest);
  t.successCount = Decimal(stats.successCount);
  t.failureCount = Decimal(stats.failureCount);
  t.firstEntry = EntryTimeText(stats.firstTimestamp);
  t.lastEntry = EntryTimeText(stats.lastTimestamp);
  for (const SourceTally& tally : stats.sources) t.sourceRows.push_back(SourceRow(tally));
  return t;
}

std::string LogSizeText(uint64_t bytes) {
  if (bytes < 1024) return Decimal(static_cast<int64_t>(bytes)) + " Bytes";
  const float kilo = static_cast<float>(static_cast<double>(bytes) / 1024.0);
  if (kilo < 1024.0f) return ThreeDecimals(kilo) + " KB";
  const float mega = static_cast<float>(static_cast<double>(kilo) / 1024.0);
  if (mega < 1024.0f) return ThreeDecimals(mega) + " MB";
  const float giga = static_cast<float>(static_cast<double>(mega) / 1024.0);
  return ThreeDecimals(giga) + " GB";
}

LogStatisticsReport ReadLogStatistics(const std::string& path, MessageBoxes& boxes) {
  LogStatisticsReport report;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    boxes.Show(ApplicationBox(kLogMissingText));
    return report;
  }
  report.sizeBytes = static_cast<uint64_t>(st.st_size);
  LogLineReader reader;
  if (!reader.Open(path)) {
    boxes.Show(ApplicationBox(kLogMissingText));
    return report;
  }
  LogStatisticsPass pass;
  std::string_view line;
  for (;;) {
    const LogLineReader::Result result = reader.Next(line);
    if (result == LogLineReader::Result::Line) {
      pass.AddLine(line);
    } else if (result == LogLineReader::Result::End) {
      report.stats = pass.Result();
      return report;
    } else if (result == LogLineReader::Result::Error) {
      // Figures from part of the log would look complete; the start values do not.
      boxes.Show(ApplicationBox(kLogMissingText));
      return report;
    }
  }
}

}  // namespace quorvane
