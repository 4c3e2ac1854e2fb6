#pragma once

#include <optional>
#include <string_view>
#include <vector>

// Evaluates the host application's numeric formula language: numbers without
// exponent form, + - * / ^, unary signs, parentheses, the constant Pi and a fixed
// set of functions (arguments separated by ';', names case-insensitive,
// trigonometry in degrees).
//
// Returns std::nullopt when the text does not parse or when any intermediate or
// final value is not finite. Never throws, never allocates, runs in time linear in
// the text length and bounds its recursion, so arbitrary bytes are safe input.
std::optional<double> EvaluateFormulaText(std::string_view text) noexcept;

#include "host/core/container.h"

// The first thing wrong with a formula text: where it is (1-based, counting characters,
// not bytes) and what is wrong, in words for the person who typed it.
struct FormulaError {
  Int32 column = 0;
  String reason;
};

// Checks whether `text` is a well-formed formula of the evaluator's language, without
// computing anything: "1/0" and "Log(-1)" pass, "Sinn(1)", "2 3" and "1e3" do not.
// Each byte offset in `numberSlots` (ascending) holds one character that stands for a
// number filled in later, such as a variable letter; the check reads it as a number.
// Returns nothing when the text is well formed, otherwise its first error, reading from
// the left. Once a checked text's slots hold finite numbers (a negative one in parentheses
// before "^"), it evaluates unless a value leaves the finite range. Linear in the length.
std::optional<FormulaError> CheckFormulaText(const String& text, const std::vector<Int32>& numberSlots = {});

// Number formats of StringToNumber. FORMAT_FLOAT is the four characters 'frea'.
inline constexpr Int32 FORMAT_FLOAT = 0x66726561;

// The host's formula evaluation for plug-ins: the value of `text` as a Float GeData, or a
// nil GeData when the text does not evaluate. `format` and `fps` are accepted for the
// host's other number formats; plain numbers read the same in all of them.
GeData StringToNumber(const String& text, Int32 format, Int32 fps);

// How many times StringToNumber has been called in this process, so that tests and the
// app can see how much evaluating a change cost.
Int64 GetStringToNumberCount();
// How many of those calls gave no number.
Int64 GetStringToNumberFailureCount();
