#include "host/geometry/text_spline.h"

#include <new>

#include "host/core/font_data.h"
#include "host/geometry/spline_object.h"

NodeData* TextSplineData::Alloc() { return new (std::nothrow) TextSplineData(); }

Bool TextSplineData::Init(GeListNode* node) {
  BaseContainer* bc = static_cast<BaseList2D*>(node)->GetDataInstance();
  bc->SetString(PRIM_TEXT_TEXT, String("Text"));
  bc->SetInt32(PRIM_TEXT_ALIGN, TEXT_ALIGN_LEFT);
  bc->SetFloat(PRIM_TEXT_HEIGHT, 100.0);
  return true;
}

TextSplineData::Settings TextSplineData::Read(const BaseObject& op) {
  const BaseContainer* bc = op.GetDataInstance();
  Settings s;
  s.text = bc->GetString(PRIM_TEXT_TEXT);
  s.align = bc->GetInt32(PRIM_TEXT_ALIGN, TEXT_ALIGN_LEFT);
  s.height = bc->GetFloat(PRIM_TEXT_HEIGHT);
  if (const FontData* font = bc->GetCustomData<FontData>(PRIM_TEXT_FONT)) {
    s.font = font->GetFont();
  }
  return s;
}

const TextLayout& TextSplineData::Layout(const Settings& settings) const {
  if (laidOut_ && *laidOut_ == settings) {
    return layout_;
  }
  layout_ = TextLayout{};
  if (settings.text.IsPopulated()) {
    std::optional<FontFace> face = ResolveFontFace(settings.font.GetCount() > 0 ? &settings.font : nullptr);
    std::optional<TextLayout> laid;
    if (face) {
      laid = LayOutText(*face, settings.text.View(), settings.height, settings.align);
    }
    // A file that is no longer a font (replaced, damaged) gives way to the default one.
    if (face && !laid) {
      face = GetFontCatalog().DefaultFace();
      if (face) {
        laid = LayOutText(*face, settings.text.View(), settings.height, settings.align);
      }
    }
    if (laid) {
      layout_ = std::move(*laid);
    }
  }
  laidOut_ = settings;
  return layout_;
}

void TextSplineData::CheckDirty(BaseObject* op, const BaseDocument* /*doc*/) {
  if (op != nullptr && (!contour_ || !(*contour_ == Read(*op)))) {
    op->SetDirty(DIRTYFLAGS::DATA);
  }
}

SplineObject* TextSplineData::GetContour(BaseObject* op, BaseDocument* /*doc*/, Float /*lod*/, BaseThread* /*bt*/) {
  if (op == nullptr) {
    return nullptr;
  }
  const Settings settings = Read(*op);
  const TextLayout& layout = Layout(settings);
  SplineObject* spline = SplineObject::Alloc(0, SPLINETYPE::LINEAR);
  if (spline == nullptr) {
    return nullptr;
  }
  spline->GetDataInstance()->SetBool(SPLINEOBJECT_CLOSED, true);
  // A text too long for one spline's counts stays empty rather than cut short.
  const bool fits = layout.PointCount() <= static_cast<std::size_t>(LIMIT_MAX_INT32);
  const auto segments = fits ? static_cast<Int32>(layout.contours.size()) : 0;
  if (!spline->ResizeObject(fits ? static_cast<Int32>(layout.PointCount()) : 0, segments)) {
    BaseObject* failed = spline;
    BaseObject::Free(failed);
    return nullptr;
  }
  Vector* points = spline->GetPointW();
  Segment* records = spline->GetSegmentW();
  for (Int32 i = 0; i < segments; ++i) {
    const auto& contour = layout.contours[static_cast<std::size_t>(i)];
    records[i] = Segment{static_cast<Int32>(contour.size()), true};
    points = std::copy(contour.begin(), contour.end(), points);
  }
  contour_ = settings;
  return spline;
}

void TextSplineData::GetDimension(const BaseObject* op, Vector* mp, Vector* rad) const {
  Vector centre, half;
  if (op != nullptr) {
    const TextLayout& layout = Layout(Read(*op));
    centre = (layout.min + layout.max) * 0.5;
    half = (layout.max - layout.min) * 0.5;
  }
  if (mp != nullptr) *mp = centre;
  if (rad != nullptr) *rad = half;
}
