#include "plot/formula_preparation.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace vantelle {

namespace {

// IsWordCharacter of every byte, worked out once from the rule itself.
Bool IsWordByte(char c) {
  static const std::array<bool, 256> table = [] {
    std::array<bool, 256> t{};
    for (int i = 0; i < 256; ++i) {
      const char byte = static_cast<char>(i);
      t[static_cast<std::size_t>(i)] = IsWordCharacter(String(std::string_view(&byte, 1)));
    }
    return t;
  }();
  return table[static_cast<unsigned char>(c)];
}

// Whether the first character after `pos` that is not a space or tab is `c`.
Bool NextNonBlankIs(std::string_view text, std::size_t pos, char c) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
    ++pos;
  }
  return pos < text.size() && text[pos] == c;
}

Bool IsTimeLetter(Int32 letter) {
  const char c = kVariableLetters[letter];
  return std::string_view(kTimeLetters).find(c) != std::string_view::npos;
}

}  // namespace

Bool IsWordCharacter(const String& character) {
  static const String a("a"), z("z"), zero("0"), nine("9");
  return (character.LexCompare(a) >= 0 && character.LexCompare(z) <= 0) ||
         (character.LexCompare(zero) >= 0 && character.LexCompare(nine) <= 0);
}

Bool IsStandaloneVariable(const String& text, Int32 pos) {
  const Int32 length = text.GetLength();
  if (pos > 0 && IsWordCharacter(text.SubStr(pos - 1, 1))) {
    return false;
  }
  if (pos < length - 1 && IsWordCharacter(text.SubStr(pos + 1, 1))) {
    return false;
  }
  return true;
}

std::vector<VariableSlot> FindVariableSlots(const String& formula) {
  std::vector<VariableSlot> slots;
  const std::string_view text = formula.View();
  const std::string_view letters(kVariableLetters);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t letter = letters.find(text[i]);
    if (letter == std::string_view::npos || (i > 0 && IsWordByte(text[i - 1])) ||
        (i + 1 < text.size() && IsWordByte(text[i + 1]))) {
      continue;
    }
    slots.push_back(VariableSlot{static_cast<Int32>(i), static_cast<Int32>(letter)});
  }
  return slots;
}

String FillVariables(const String& formula, const std::vector<VariableSlot>& slots, const VariableValues& values,
                     Bool& usesTime) {
  usesTime = false;
  const std::string_view text = formula.View();
  std::string out;
  out.reserve(text.size() + 8 * slots.size());
  std::size_t copied = 0;
  for (const VariableSlot& slot : slots) {
    const auto position = static_cast<std::size_t>(slot.position);
    out.append(text.substr(copied, position - copied));
    copied = position + 1;
    usesTime = usesTime || IsTimeLetter(slot.letter);
    const String number = VariableText(values[static_cast<std::size_t>(slot.letter)]);
    const Bool parenthesise = number[0] == '-' && NextNonBlankIs(text, copied, '^');
    if (parenthesise) {
      out += '(';
    }
    out += number.View();
    if (parenthesise) {
      out += ')';
    }
  }
  out.append(text.substr(std::min(copied, text.size())));
  return String(std::move(out));
}

String PrepareFormula(const String& formula, const VariableValues& values, Bool& usesTime) {
  return FillVariables(formula, FindVariableSlots(formula), values, usesTime);
}

Bool FormulaUsesTime(const String& formula) {
  return SlotsUseTime(FindVariableSlots(formula));
}

Bool SlotsUseTime(const std::vector<VariableSlot>& slots) {
  return std::any_of(slots.begin(), slots.end(), [](const VariableSlot& slot) { return IsTimeLetter(slot.letter); });
}

String VariableText(Float value) {
  return FloatToString(value, -1, -3, false, ' ');
}

std::optional<Float> VariableTextValue(Float value) {
  // A negative value is sometimes written in parentheses; they do not change the number.
  return EvaluateFormulaText(VariableText(value).View());
}

std::optional<CompiledFormula> CompileFormula(const String& formula, const std::vector<VariableSlot>& slots) {
  std::vector<Int32> positions;
  std::vector<Int32> variables;
  positions.reserve(slots.size());
  variables.reserve(slots.size());
  for (const VariableSlot& slot : slots) {
    positions.push_back(slot.position);
    variables.push_back(slot.letter);
  }
  return CompiledFormula::Compile(formula.View(), positions, variables);
}

std::optional<Float> EvaluateFilledText(const String& formula, const std::vector<VariableSlot>& slots,
                                        const VariableValues& values, Int32 fps, Bool& usesTime) {
  const GeData data = StringToNumber(FillVariables(formula, slots, values, usesTime), FORMAT_FLOAT, fps);
  return data.IsNil() ? std::nullopt : std::optional<Float>(data.GetFloat());
}

std::optional<Float> EvaluateCompiled(const CompiledFormula& compiled, const std::vector<VariableSlot>& slots,
                                      const VariableValues& values) {
  VariableValues read{};
  for (const VariableSlot& slot : slots) {
    const auto letter = static_cast<std::size_t>(slot.letter);
    const std::optional<Float> value = VariableTextValue(values[letter]);
    if (!value) {
      return std::nullopt;
    }
    read[letter] = *value;
  }
  // As the plot evaluates it: with its calls on bare variables lifted out as inputs.
  CompiledFormula lifted = compiled;
  const std::vector<CompiledFormula::LiftedCall> calls = lifted.LiftVariableCalls(static_cast<Int32>(kVariableCount));
  std::vector<Float> inputs(read.begin(), read.end());
  for (const CompiledFormula::LiftedCall& call : calls) {
    inputs.push_back(call.Of(read[static_cast<std::size_t>(call.variable)]));
  }
  Float value = 0.0;
  return lifted.Evaluate(inputs.data(), value) ? std::optional<Float>(value) : std::nullopt;
}

std::optional<FormulaError> CheckFormula(const String& formula, const std::vector<VariableSlot>& slots) {
  std::vector<Int32> positions;
  positions.reserve(slots.size());
  for (const VariableSlot& slot : slots) {
    positions.push_back(slot.position);
  }
  return CheckFormulaText(formula, positions);
}

}  // namespace vantelle
