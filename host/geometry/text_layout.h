// Text laid out as glyph outlines: HarfBuzz places the glyphs (advances, kerning,
// ligatures), FreeType gives their outlines, and curves are flattened into closed
// polygons, one per outline contour.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "host/core/types.h"
#include "host/files/font_catalog.h"

// Horizontal alignment of each line about the origin.
inline constexpr Int32 TEXT_ALIGN_LEFT = 0;    // the line starts at x = 0
inline constexpr Int32 TEXT_ALIGN_MIDDLE = 1;  // the line's middle is at x = 0
inline constexpr Int32 TEXT_ALIGN_RIGHT = 2;   // the line ends at x = 0

struct TextLayout {
  // Closed contours in the XY plane (z = 0), in glyph order: each one loop of points, the
  // first not repeated at the end. Outer contours and holes keep the font's own
  // directions, so a filling must go by the odd winding rule.
  std::vector<std::vector<Vector>> contours;
  // Bounding box of every contour point; both zero when there are none.
  Vector min;
  Vector max;
  std::size_t PointCount() const;
};

// Lays out UTF-8 `text` in `face`:
// - The text reads along +X with +Y up. The first line's baseline lies on the X axis;
//   each further line ("\n", "\r\n" or "\r" break lines) stands one line spacing lower.
// - `height` is the cap height: capitals and digits stand `height` tall above the
//   baseline, whatever the font's own proportions. Descenders reach below the axis.
// - `align` places each line's advance (from the pen's start to its end, which includes
//   the side bearings of its first and last glyph) left, middle or right of x = 0; other
//   values count as left.
// - A character the font lacks shows the font's missing-glyph shape; bytes that are not
//   UTF-8 count as U+FFFD; tabs count as spaces and other control characters as nothing.
// - Curves are flattened to within a 500th of `height` of the true outline.
// An empty text, a height that is not a positive finite number or one so large that the
// points would not be finite give an empty layout. Nothing when the face's file cannot be
// read as an outline font.
std::optional<TextLayout> LayOutText(const FontFace& face, std::string_view text, Float height, Int32 align);
