// Text of any bytes, laid out and extruded as a scene evaluates it: the text spline must
// give finite, closed outlines, and the extrude a mesh whose indices are in range, whose
// points are finite and whose edges all pair up (each used as often in one direction as in
// the other, which any closed surface does).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include "host/core/font_data.h"
#include "host/files/font_catalog.h"
#include "host/geometry/extrude_object.h"
#include "host/geometry/spline_object.h"
#include "host/geometry/text_spline.h"
#include "host/scene/execution.h"

namespace {

BaseContainer g_font;

bool Finite(const Vector& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "text_fuzz: %s\n", what);
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  g_font = FontDescriptionFor("Liberation Sans", "Regular");
  if (g_font.GetString(FONTDESC_FILE).IsEmpty()) {
    std::fprintf(stderr, "text_fuzz: Liberation Sans is not installed (run scripts/install-deps.sh)\n");
    std::abort();
  }
  return 0;
}

// Byte 0 picks the alignment and the font (the default face or Liberation Sans), byte 1
// the height, byte 2 the depth; the rest is the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) {
    return 0;
  }
  constexpr Float kHeights[] = {7.0, 0.01, 250.0, 1e6};
  constexpr Float kDepths[] = {0.1, 0.0, -3.0, 50.0};
  const Int32 align = data[0] % 4;  // 3 is no alignment the host knows
  const Float height = kHeights[data[1] % 4];
  const Float depth = kDepths[data[2] % 4];
  const std::string text(reinterpret_cast<const char*>(data) + 3, size - 3);

  BaseDocument* doc = BaseDocument::Alloc();
  BaseObject* extrude = BaseObject::Alloc(Oextrude);
  BaseObject* spline = BaseObject::Alloc(Osplinetext);
  doc->InsertObject(extrude, nullptr, nullptr);
  spline->InsertUnderLast(extrude);
  extrude->GetDataInstance()->SetVector(EXTRUDEOBJECT_MOVE, Vector(0.0, 0.0, depth));
  BaseContainer* bc = spline->GetDataInstance();
  if ((data[0] & 4) != 0) {
    bc->SetData(PRIM_TEXT_FONT, GeData(FontData(g_font)));
  }
  bc->SetFloat(PRIM_TEXT_HEIGHT, height);
  bc->SetInt32(PRIM_TEXT_ALIGN, align);
  bc->SetString(PRIM_TEXT_TEXT, String(text));

  const Vector rad = spline->GetRad();
  Check(Finite(rad) && rad.x >= 0.0 && rad.y >= 0.0 && rad.z == 0.0, "the text's bounds are not a box in its plane");
  ExecutePasses(doc);

  const auto* contour = static_cast<const SplineObject*>(spline->GetCache());
  Check(contour != nullptr, "the text spline has no contour");
  Int64 total = 0;
  for (const Segment& s : contour->GetEffectiveSegments()) {
    Check(s.closed && s.cnt >= 3, "an outline contour is open or too short");
    total += s.cnt;
  }
  Check(total == contour->GetPointCount(), "segments do not cover the points");
  for (Int32 i = 0; i < contour->GetPointCount(); ++i) {
    Check(Finite(contour->GetPointR()[i]) && contour->GetPointR()[i].z == 0.0, "an outline point is off the plane");
  }
  Check(rad == spline->GetRad(), "the measured bounds changed with the evaluation");

  const auto* mesh = static_cast<const PolygonObject*>(extrude->GetCache());
  Check(mesh != nullptr, "the extrude has no mesh");
  Check(mesh->IsValid(), "a polygon points past the mesh's points");
  for (Int32 i = 0; i < mesh->GetPointCount(); ++i) {
    Check(Finite(mesh->GetPointR()[i]), "a mesh point is not finite");
  }
  if (depth != 0.0) {
    std::map<std::pair<Int32, Int32>, Int32> balance;
    for (Int32 i = 0; i < mesh->GetPolygonCount(); ++i) {
      const CPolygon& p = mesh->GetPolygonR()[i];
      const Int32 corners[4] = {p.a, p.b, p.c, p.d};
      const int n = p.IsTriangle() ? 3 : 4;
      for (int k = 0; k < n; ++k) {
        const Int32 a = corners[k], b = corners[(k + 1) % n];
        if (a != b) {
          balance[{std::min(a, b), std::max(a, b)}] += a < b ? 1 : -1;
        }
      }
    }
    for (const auto& [edge, sum] : balance) {
      Check(sum == 0, "an edge is not matched by one running the other way: the solid is not closed");
    }
  }
  BaseDocument::Free(doc);
  return 0;
}
