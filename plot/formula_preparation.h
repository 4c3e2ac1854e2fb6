// Turns the user's formula into plain numeric text for the host's evaluator by writing
// each standalone variable letter's value in its place.
//
// The variables, in the order they are replaced: t (document time in seconds), x and z
// (the sample's inputs), h (the resolution), r (half the plot height), f (the frame).
// A letter is a variable only where neither neighbour is a word character (a letter of
// either case or a digit), so the letters inside Sqrt, Atan, tAN or 2x stay as they are.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "host/core/formula.h"
#include "host/core/text.h"

namespace vantelle {

inline constexpr const char* kVariableLetters = "txzhrf";
inline constexpr const char* kTimeLetters = "tf";

// Values in the order of kVariableLetters.
using VariableValues = std::array<Float, 6>;
inline constexpr std::size_t kVariableCount = 6;
// The variables that change along the grid: x from row to row, z from column to column.
inline constexpr std::size_t kRowVariable = 1;
inline constexpr std::size_t kColumnVariable = 2;

// Whether a one-character text lies between "a" and "z" or "0" and "9" in the host's
// ordering of words, which sorts upper-case letters among the lower-case ones.
Bool IsWordCharacter(const String& character);

// Whether the character at `pos` has no word character on either side.
Bool IsStandaloneVariable(const String& text, Int32 pos);

// One standalone variable letter of a formula: where it stands and which variable it is.
struct VariableSlot {
  Int32 position = 0;  // byte offset in the formula
  Int32 letter = 0;    // index into kVariableLetters and VariableValues
};

// Every standalone variable letter of the formula, in text order. Replacing one never
// changes whether another stands alone, so one look at the formula finds them all.
std::vector<VariableSlot> FindVariableSlots(const String& formula);

// The formula with every slot replaced by its value's text, at most three decimals and
// never an exponent. A negative value followed by "^" is written in parentheses, so that
// "x^2" at x = -3 stays the square of -3 rather than becoming -(3^2). Sets `usesTime` to
// whether a slot is t or f. Linear in the formula's length.
String FillVariables(const String& formula, const std::vector<VariableSlot>& slots, const VariableValues& values,
                     Bool& usesTime);

// FillVariables over the formula's own slots.
String PrepareFormula(const String& formula, const VariableValues& values, Bool& usesTime);

// Whether the formula has a standalone t or f; the text is not changed.
Bool FormulaUsesTime(const String& formula);
// Whether one of the slots is t or f.
Bool SlotsUseTime(const std::vector<VariableSlot>& slots);

// The text a variable's value is written as: at most three decimals, never an exponent.
String VariableText(Float value);
// The number that text reads as, which is what the formula sees of the value; nothing
// when the value has no number text (not finite).
std::optional<Float> VariableTextValue(Float value);

// The formula read once, its slots reading the variables in the order of VariableValues,
// so that evaluating it with each variable's text value gives what evaluating the filled
// text gives, bit for bit. Nothing where the host cannot compile it (a formula that
// CheckFormula refuses, or one nested too deep); such a formula is evaluated as text.
std::optional<CompiledFormula> CompileFormula(const String& formula, const std::vector<VariableSlot>& slots);

// One sample's value the reference way: the text filled in and evaluated by the host.
// Nothing when the text has no value. Sets `usesTime` as FillVariables does.
std::optional<Float> EvaluateFilledText(const String& formula, const std::vector<VariableSlot>& slots,
                                        const VariableValues& values, Int32 fps, Bool& usesTime);
// The same value from the compiled formula: nothing when a variable the formula uses has
// no number text.
std::optional<Float> EvaluateCompiled(const CompiledFormula& compiled, const std::vector<VariableSlot>& slots,
                                      const VariableValues& values);

// The host's syntax check of the formula with each slot read as a number: nothing when it
// is well formed, otherwise its first error. Values pasted into a malformed text can
// still happen to evaluate ("x z" at x = -180 reads as a subtraction), so a formula is
// checked once before it is sampled.
std::optional<FormulaError> CheckFormula(const String& formula, const std::vector<VariableSlot>& slots);

}  // namespace vantelle
