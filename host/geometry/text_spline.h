// The host's text spline (Osplinetext): a spline generator whose contour is the outline
// of a line of text, one closed linear segment per contour of every glyph.
#pragma once

#include <optional>

#include "host/geometry/text_layout.h"
#include "host/scene/objects.h"

// Parameters of a text spline.
inline constexpr Int32 PRIM_TEXT_TEXT = 2111;    // String, UTF-8; "\n" starts a new line
inline constexpr Int32 PRIM_TEXT_ALIGN = 2112;   // Int32: TEXT_ALIGN_LEFT, _MIDDLE or _RIGHT
// Float: the cap height, in scene units. Capital letters and digits stand this tall above
// the baseline (the object's X axis) in any font; lower-case descenders reach below it.
inline constexpr Int32 PRIM_TEXT_HEIGHT = 2115;
// FontData: the font; without one, the system's default font.
inline constexpr Int32 PRIM_TEXT_FONT = 2117;

class TextSplineData final : public ObjectData {
public:
  static NodeData* Alloc();

  // Writes the defaults: the text "Text", left aligned, 100 units tall; no font.
  Bool Init(GeListNode* node) override;
  // Marks the object dirty when its settings differ from those of its last contour. The
  // settings may be written straight into the container, as a scene's objects are.
  void CheckDirty(BaseObject* op, const BaseDocument* doc) override;
  // The text's outline in the object's XY plane, reading along +X with +Y up; an empty
  // spline for an empty text or when no font can be read.
  SplineObject* GetContour(BaseObject* op, BaseDocument* doc, Float lod, BaseThread* bt) override;
  // The laid-out text's bounding box from the current settings, at once: no evaluation
  // pass is needed first. Zero for an empty text.
  void GetDimension(const BaseObject* op, Vector* mp, Vector* rad) const override;

private:
  struct Settings {
    String text;
    Int32 align = TEXT_ALIGN_LEFT;
    Float height = 0.0;
    BaseContainer font;
    bool operator==(const Settings&) const = default;
  };
  static Settings Read(const BaseObject& op);
  // The layout of `settings`, kept until the settings change.
  const TextLayout& Layout(const Settings& settings) const;

  mutable std::optional<Settings> laidOut_;
  mutable TextLayout layout_;
  std::optional<Settings> contour_;  // the settings the current contour was built from
};
