#include "host/files/clip_map.h"

#include "host/core/font_data.h"
#include "host/files/font_catalog.h"

Bool GeClipMap::EnumerateFonts(BaseContainer* dest, Int32 /*flags*/) {
  if (dest == nullptr) {
    return false;
  }
  dest->FlushAll();
  Int32 id = 1;
  for (const FontFace& face : GetFontCatalog().ListFaces()) {
    dest->SetContainer(id++, FontDescription(face));
  }
  return true;
}

Bool GeClipMap::GetFontName(const BaseContainer* font, Int32 type, String* name) {
  if (font == nullptr || name == nullptr) {
    return false;
  }
  const String family = font->GetString(FONTDESC_FAMILY);
  const String style = font->GetString(FONTDESC_STYLE);
  String result;
  switch (type) {
    case GE_FONT_NAME_DISPLAY:
      result = font->GetString(FONTDESC_NAME);
      if (result.IsEmpty() && family.IsPopulated()) {
        result = ComposeDisplayName(family, style);
      }
      break;
    case GE_FONT_NAME_FAMILY: result = family; break;
    case GE_FONT_NAME_STYLE: result = style; break;
    default: return false;
  }
  if (result.IsEmpty()) {
    return false;
  }
  *name = result;
  return true;
}

Bool GeClipMap::GetDefaultFont(Int32 kind, BaseContainer* font) {
  if (font == nullptr || kind != GE_FONT_DEFAULT_SYSTEM) {
    return false;
  }
  const std::optional<FontFace> face = GetFontCatalog().DefaultFace();
  if (!face) {
    return false;
  }
  *font = FontDescription(*face);
  return true;
}
