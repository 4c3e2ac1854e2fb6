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

// The operations of a compiled formula for a small stack machine; built and read only by
// CompiledFormula.
struct CompiledFormulaProgram {
  enum class Op : unsigned char {
    kConstant,  // pushes constants[argument]
    kVariable,  // pushes variables[argument]
    kNegate,
    kAdd,
    kSubtract,
    kMultiply,
    kDivide,
    kPower,
    kCall1,  // a one-argument function, argument = its number
    kCall2,  // a two-argument function
    kCallVariable,  // a one-argument function of variables[argument]
    kInput,  // pushes variables[argument], a lifted call's result: no value unless finite
    kMin,    // one more argument of Min folded in
    kMax,
  };
  struct Instruction {
    Op op;
    Int32 argument;
    double (*function)(double, double) = nullptr;  // the function of the calls
  };
  std::vector<Instruction> code;
  std::vector<double> constants;
  Int32 stackSize = 0;
};

// A formula text with number slots, read once and then evaluated for many sets of numbers,
// as a host does for expressions with variables.
class CompiledFormula {
public:
  // The deepest stack a compiled formula may use; deeper texts do not compile.
  static constexpr Int32 kMaxStack = 1024;

  // Compiles `text`, whose characters at the byte offsets `slots` (ascending) each stand
  // for a number: slot i reads variables[slotVariables[i]] when evaluated. Gives nothing
  // where CheckFormulaText(text, slots) finds an error, and for the rare text that needs
  // a deeper stack than kMaxStack. Linear in the length.
  static std::optional<CompiledFormula> Compile(std::string_view text, const std::vector<Int32>& slots,
                                                const std::vector<Int32>& slotVariables);

  // Exactly what EvaluateFormulaText gives, bit for bit and nothing where it gives
  // nothing, for the text with each slot replaced by the number text of its variable (a
  // negative one in parentheses when "^" follows), where `variables` hold the values
  // those number texts read as. Each must be finite: a non-finite value has no number
  // text. Never allocates. Returns whether there is a value, and stores it in `value`.
  bool Evaluate(const double* variables, double& value) const noexcept;

  // A call of a one-argument function on a bare variable, which a caller evaluating over
  // a grid can compute once per row or column instead of once per sample.
  struct LiftedCall {
    double (*function)(double, double);
    Int32 variable;
    // The value the call has for a variable's value: what the caller puts in the input.
    double Of(double variableValue) const { return function(variableValue, 0.0); }
  };

  // Turns every such call into a read of an input of its own: the k-th of the returned
  // calls is read from variables[firstInput + k], which the caller fills with that call's
  // value for the sample. Equal calls share one input. Evaluate then needs firstInput
  // plus that many values; it still gives nothing where a call's value is not finite.
  std::vector<LiftedCall> LiftVariableCalls(Int32 firstInput);

  const CompiledFormulaProgram& Program() const { return program_; }

private:
  CompiledFormulaProgram program_;
};

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
// Adds evaluations made by compiled formulas to both counts, so that they still tell what
// evaluating cost. Safe to call from any thread.
void CountFormulaEvaluations(Int64 evaluations, Int64 failures);
