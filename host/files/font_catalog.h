// The installed fonts, behind one small interface: each system supplies its own catalog
// (fontconfig here), and everything else asks this one. Tests swap in their own.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "host/core/container.h"

// One installed face.
struct FontFace {
  String family;       // "Liberation Sans"
  String style;        // "Regular", "Bold"
  String displayName;  // "Liberation Sans", "Liberation Sans Bold"
  String file;         // path of the font file
  Int32 index = 0;     // face inside the file
  bool operator==(const FontFace&) const = default;
};

class FontCatalog {
public:
  virtual ~FontCatalog() = default;
  // Every installed face that has outlines, in a stable order; empty without fonts.
  virtual std::vector<FontFace> ListFaces() = 0;
  // The face that best stands in for `family` in `style` (either may be empty), as the
  // system substitutes fonts; nothing only when no font is installed at all.
  virtual std::optional<FontFace> Match(const String& family, const String& style) = 0;
  // The system's face for sans-serif text; nothing when no font is installed.
  virtual std::optional<FontFace> DefaultFace() = 0;
};

// The system's catalog (built on first use), or the one a test installed.
FontCatalog& GetFontCatalog();
// Installs `catalog` for everything that asks from now on; null restores the system's.
// The warning about missing fonts may be given again afterwards.
void SetFontCatalog(std::unique_ptr<FontCatalog> catalog);
// This system's catalog. Defined by the one platform file the build picks.
std::unique_ptr<FontCatalog> MakeSystemFontCatalog();

// The description of a face, as FontData holds it (FONTDESC_ entries).
BaseContainer FontDescription(const FontFace& face);
// The description of the installed face that `family` and `style` name exactly, or a
// description of just the two names when no such face is installed here, so that a
// scene keeps its choice when it moves between machines.
BaseContainer FontDescriptionFor(const String& family, const String& style);

// The face a description stands for, ready to be read: its file when that still exists,
// else the system's best match for its family and style, else the default face (also
// for a null or empty description). Nothing only when no font is installed; the first
// time that happens a warning goes to the standard error, once per process.
std::optional<FontFace> ResolveFontFace(const BaseContainer* description);

// "Family" for the upright regular style, "Family Style" otherwise.
String ComposeDisplayName(const String& family, const String& style);
