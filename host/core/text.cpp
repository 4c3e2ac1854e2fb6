#include "host/core/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace {

// Narrows the range [start, start + count) to the part that lies inside a text of
// `length` bytes.
void ClampRange(Int32 length, Int32& start, Int32& count) {
  const Int64 end = std::clamp<Int64>(static_cast<Int64>(start) + std::max(count, 0), 0, length);
  start = std::clamp(start, 0, length);
  count = static_cast<Int32>(std::max<Int64>(end - start, 0));
}

}  // namespace

Bool String::FindFirst(const String& what, Int32* pos, Int32 start) const {
  std::size_t found = std::string::npos;
  if (start >= 0 && start <= GetLength()) {
    found = text_.find(what.text_, static_cast<std::size_t>(start));
  }
  const Int32 result = found == std::string::npos ? -1 : static_cast<Int32>(found);
  if (pos != nullptr) {
    *pos = result;
  }
  return result >= 0;
}

Bool String::FindFirst(Char what, Int32* pos, Int32 start) const {
  std::size_t found = std::string::npos;
  if (start >= 0 && start < GetLength()) {
    found = text_.find(what, static_cast<std::size_t>(start));
  }
  const Int32 result = found == std::string::npos ? -1 : static_cast<Int32>(found);
  if (pos != nullptr) {
    *pos = result;
  }
  return result >= 0;
}

String String::SubStr(Int32 start, Int32 count) const {
  ClampRange(GetLength(), start, count);
  return String(text_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(count)));
}

void String::Delete(Int32 pos, Int32 count) {
  ClampRange(GetLength(), pos, count);
  text_.erase(static_cast<std::size_t>(pos), static_cast<std::size_t>(count));
}

void String::Insert(Int32 pos, const String& what) {
  pos = std::clamp(pos, 0, GetLength());
  text_.insert(static_cast<std::size_t>(pos), what.text_);
}

Int32 String::LexCompare(const String& other) const {
  const auto fold = [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
  };
  const std::size_t common = std::min(text_.size(), other.text_.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char a = fold(text_[i]);
    const unsigned char b = fold(other.text_[i]);
    if (a != b) {
      return a < b ? -1 : 1;
    }
  }
  return text_.size() == other.text_.size() ? 0 : (text_.size() < other.text_.size() ? -1 : 1);
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) {
    row[j] = j;
  }
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

Char String::operator[](Int32 pos) const {
  if (pos < 0 || pos >= GetLength()) {
    return 0;
  }
  return text_[static_cast<std::size_t>(pos)];
}

String FloatToString(Float value, Int32 before, Int32 after, Bool exponent, Char fill) {
  if (std::isnan(value)) {
    return String("nan");
  }
  if (std::isinf(value)) {
    return String(value < 0 ? "-inf" : "inf");
  }

  const bool trim = after < 0;
  const int decimals = std::min(trim ? -after : after, 100);

  // 309 integer digits, a sign, a point and 100 decimals fit.
  char buffer[440];
  const auto format = exponent ? std::chars_format::scientific : std::chars_format::fixed;
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, format, decimals);
  if (error != std::errc()) {
    return String("nan");
  }
  std::string_view text(buffer, static_cast<std::size_t>(end - buffer));

  std::string_view mantissa = text;
  std::string_view exponentPart;
  if (exponent) {
    const auto e = text.find('e');
    mantissa = text.substr(0, e);
    exponentPart = text.substr(e);
  }
  if (trim && mantissa.find('.') != std::string_view::npos) {
    while (mantissa.back() == '0') {
      mantissa.remove_suffix(1);
    }
    if (mantissa.back() == '.') {
      mantissa.remove_suffix(1);
    }
  }
  // A negative value that rounds to zero loses its minus.
  if (!mantissa.empty() && mantissa.front() == '-' &&
      mantissa.find_first_not_of("-0.") == std::string_view::npos) {
    mantissa.remove_prefix(1);
  }

  std::string result(mantissa);
  result += exponentPart;
  if (before > 0) {
    const auto point = result.find_first_of(".e");
    const std::size_t integerWidth = point == std::string::npos ? result.size() : point;
    const auto wanted = static_cast<std::size_t>(std::min(before, 400));
    if (integerWidth < wanted) {
      result.insert(0, wanted - integerWidth, fill);
    }
  }
  return String(std::move(result));
}
