// Host text: a byte string (UTF-8) with the host's position-based editing operations,
// and the host's number-to-text conversion.
//
// Positions and lengths count bytes. Every operation acts on the part of its range that
// lies inside the text, so no argument can read or write outside it.
#pragma once

#include <string>
#include <string_view>

#include "host/core/types.h"

class String {
public:
  String() = default;
  String(const char* text) : text_(text != nullptr ? text : "") {}  // NOLINT: implicit like the host's
  String(std::string text) : text_(std::move(text)) {}              // NOLINT
  String(std::string_view text) : text_(text) {}                    // NOLINT

  Int32 GetLength() const { return static_cast<Int32>(text_.size()); }
  Bool IsEmpty() const { return text_.empty(); }
  Bool IsPopulated() const { return !text_.empty(); }

  // First occurrence of `what` at or after `start`. Returns whether one was found and
  // stores its position in *pos, or -1 when there is none. Case-sensitive.
  Bool FindFirst(const String& what, Int32* pos, Int32 start = 0) const;
  Bool FindFirst(Char what, Int32* pos, Int32 start = 0) const;

  // `count` bytes from `start`; shorter (or empty) where the text ends first.
  String SubStr(Int32 start, Int32 count) const;
  String Left(Int32 count) const { return SubStr(0, count); }
  String Right(Int32 count) const { return SubStr(GetLength() - count, count); }

  // Removes up to `count` bytes at `pos`.
  void Delete(Int32 pos, Int32 count);
  // Inserts `what` before the byte at `pos` (at the end when pos >= length).
  void Insert(Int32 pos, const String& what);

  // Byte at `pos`, or 0 outside the text.
  Char operator[](Int32 pos) const;

  // Ordering by unsigned byte value: upper-case letters and punctuation sort below "a".
  Int32 Compare(const String& other) const { return text_.compare(other.text_) < 0 ? -1 : (text_ == other.text_ ? 0 : 1); }
  // Ordering as people sort words: letters compare without regard to case ("B" lies
  // between "a" and "z"), every other byte by its value. -1, 0 or 1.
  Int32 LexCompare(const String& other) const;
  bool operator==(const String& other) const = default;
  auto operator<=>(const String& other) const { return text_.compare(other.text_) <=> 0; }

  String operator+(const String& other) const { return String(text_ + other.text_); }
  String& operator+=(const String& other) {
    text_ += other.text_;
    return *this;
  }

  const std::string& GetStd() const { return text_; }
  std::string_view View() const { return text_; }
  const char* c_str() const { return text_.c_str(); }

  static String IntToString(Int64 value) { return String(std::to_string(value)); }

private:
  std::string text_;
};

// Writes `value` as decimal text, never with an exponent unless `exponent` is true.
//   before: -1 writes as many integer digits as needed; a positive value pads the integer
//           part (with its sign) on the left to that many characters with `fill`.
//   after:  N >= 0 writes exactly N decimals; -N writes at most N decimals and drops
//           trailing zeros and a bare point (-3: "0.5", "50", "0.033").
// Rounding is to nearest on the exact binary value. A value that rounds to zero is
// written without a minus ("0", "0.0"). Infinity and not-a-number give "inf", "-inf",
// "nan". Decimals are capped at 100.
String FloatToString(Float value, Int32 before = -1, Int32 after = -3, Bool exponent = false, Char fill = ' ');

// The fewest single-byte insertions, deletions and substitutions that turn `a` into `b`;
// for "did you mean" hints. Costs |a| * |b| steps.
std::size_t EditDistance(std::string_view a, std::string_view b);
