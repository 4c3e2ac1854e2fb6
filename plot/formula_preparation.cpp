#include "plot/formula_preparation.h"

namespace vantelle {

namespace {

// Whether the first character at or after `pos` that is not a space or tab is `c`.
Bool NextNonBlankIs(const String& text, Int32 pos, Char c) {
  const Int32 length = text.GetLength();
  while (pos < length && (text[pos] == ' ' || text[pos] == '\t')) {
    ++pos;
  }
  return pos < length && text[pos] == c;
}

}  // namespace

Bool IsWordCharacter(const String& character) {
  static const String a("a"), z("z"), zero("0"), nine("9");
  return (character >= a && character <= z) || (character >= zero && character <= nine);
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

String PrepareFormula(const String& formula, const VariableValues& values, Bool& usesTime) {
  usesTime = false;
  String text = formula;
  const String letters(kVariableLetters);
  for (Int32 letterIndex = 0; letterIndex < letters.GetLength(); ++letterIndex) {
    const String letter = letters.SubStr(letterIndex, 1);
    const Bool isTimeLetter = letter == String("t") || letter == String("f");
    Int32 start = 0;
    while (start < text.GetLength()) {
      Int32 pos = -1;
      if (!text.FindFirst(letter, &pos, start)) {
        break;
      }
      if (IsStandaloneVariable(text, pos)) {
        if (isTimeLetter) {
          usesTime = true;
        }
        text.Delete(pos, 1);
        String number = FloatToString(values[static_cast<std::size_t>(letterIndex)], -1, -3, false, ' ');
        if (number[0] == '-' && NextNonBlankIs(text, pos, '^')) {
          number = String("(") + number + String(")");
        }
        text.Insert(pos, number);
      }
      start = pos + 1;
    }
  }
  return text;
}

Bool FormulaUsesTime(const String& formula) {
  const String letters(kTimeLetters);
  for (Int32 letterIndex = 0; letterIndex < letters.GetLength(); ++letterIndex) {
    const String letter = letters.SubStr(letterIndex, 1);
    Int32 start = 0;
    while (start < formula.GetLength()) {
      Int32 pos = -1;
      if (!formula.FindFirst(letter, &pos, start)) {
        break;
      }
      if (IsStandaloneVariable(formula, pos)) {
        return true;
      }
      start = pos + 1;
    }
  }
  return false;
}

}  // namespace vantelle
