// The host's font custom data type: a font description (a small container) held as a
// parameter value, as text objects and the settings that choose their font keep it.
#pragma once

#include <memory>

#include "host/core/container.h"

// Entries of a font description. Family and style name the face wherever it is
// installed; file and index say where it was found on this machine and are only a hint.
inline constexpr Int32 FONTDESC_FAMILY = 1;   // String: "Liberation Sans"
inline constexpr Int32 FONTDESC_STYLE = 2;    // String: "Regular", "Bold Italic"
inline constexpr Int32 FONTDESC_NAME = 3;     // String: the display name, "Liberation Sans Bold"
inline constexpr Int32 FONTDESC_FILE = 4;     // String: the font file's path
inline constexpr Int32 FONTDESC_INDEX = 5;    // Int32: the face's index inside the file

class FontData final : public CustomDataType {
public:
  static constexpr Int32 TYPE_ID = CUSTOMDATATYPE_FONT;

  FontData() = default;
  explicit FontData(const BaseContainer& font) : font_(font) {}

  Int32 GetCustomDataTypeId() const override { return TYPE_ID; }
  std::unique_ptr<CustomDataType> Clone() const override { return std::make_unique<FontData>(*this); }
  // Equal when the descriptions hold the same entries in the same order.
  Bool IsEqual(const CustomDataType& other) const override;

  // A copy of the description; empty when no font was set.
  BaseContainer GetFont() const { return font_; }
  // Replaces the description with a copy of `font`; null empties it.
  void SetFont(const BaseContainer* font);
  Bool IsEmpty() const { return font_.GetCount() == 0; }

private:
  BaseContainer font_;
};
