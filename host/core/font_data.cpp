#include "host/core/font_data.h"

Bool FontData::IsEqual(const CustomDataType& other) const {
  const auto* font = dynamic_cast<const FontData*>(&other);
  return font != nullptr && font_ == font->font_;
}

void FontData::SetFont(const BaseContainer* font) {
  font_ = font != nullptr ? *font : BaseContainer();
}
