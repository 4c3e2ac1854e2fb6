// GeClipMap: the host's 2D drawing surface. This host offers its font services only:
// listing the installed fonts, naming them and picking the default one.
#pragma once

#include "host/core/container.h"

// Name types of GetFontName.
inline constexpr Int32 GE_FONT_NAME_DISPLAY = 0;  // "Liberation Sans Bold"
inline constexpr Int32 GE_FONT_NAME_FAMILY = 1;   // "Liberation Sans"
inline constexpr Int32 GE_FONT_NAME_STYLE = 2;    // "Bold"

// Kinds of GetDefaultFont.
inline constexpr Int32 GE_FONT_DEFAULT_SYSTEM = 0;  // the system's sans-serif face

class GeClipMap {
public:
  // Replaces the content of `dest` with one sub-container per installed face (a font
  // description, see FONTDESC_ in font_data.h), at IDs 1, 2, 3 and so on, in a stable
  // order. `flags` is reserved (0). False for a null `dest`; an empty list when no font
  // is installed is not a failure.
  static Bool EnumerateFonts(BaseContainer* dest, Int32 flags);
  // A name of the font a description stands for. False, with *name untouched, for a null
  // argument, an unknown name type or a description without that name.
  static Bool GetFontName(const BaseContainer* font, Int32 type, String* name);
  // The description of the system's default face of `kind`. False when no font is
  // installed or `kind` is unknown.
  static Bool GetDefaultFont(Int32 kind, BaseContainer* font);
};
