// Turns the user's formula into plain numeric text for the host's evaluator by writing
// each standalone variable letter's value in its place.
//
// The variables, in the order they are replaced: t (document time in seconds), x and z
// (the sample's inputs), h (the resolution), r (half the plot height), f (the frame).
// A letter is a variable only where neither neighbour is a word character (a-z, 0-9),
// so the letters inside Sqrt, Atan or 2x stay as they are.
#pragma once

#include <array>

#include "host/core/text.h"

namespace vantelle {

inline constexpr const char* kVariableLetters = "txzhrf";
inline constexpr const char* kTimeLetters = "tf";

// Values in the order of kVariableLetters.
using VariableValues = std::array<Float, 6>;

// Whether a one-character text lies between "a" and "z" or "0" and "9" in the host's
// text order.
Bool IsWordCharacter(const String& character);

// Whether the character at `pos` has no word character on either side.
Bool IsStandaloneVariable(const String& text, Int32 pos);

// The formula with every standalone variable letter replaced by its value, written with
// at most three decimals. A negative value followed by "^" is written in parentheses, so
// that "x^2" at x = -3 stays the square of -3 rather than becoming -(3^2).
// Sets `usesTime` to whether a standalone t or f was replaced.
String PrepareFormula(const String& formula, const VariableValues& values, Bool& usesTime);

// Whether the formula has a standalone t or f; the text is not changed.
Bool FormulaUsesTime(const String& formula);

}  // namespace vantelle
