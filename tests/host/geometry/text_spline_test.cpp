// The text spline: glyph outlines in the XY plane, measured as the module relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "host/core/font_data.h"
#include "host/geometry/spline_object.h"
#include "host/geometry/text_spline.h"
#include "host/scene/execution.h"

namespace {

struct Box {
  Vector min, max;
  Vector Centre() const { return (min + max) * 0.5; }
  Vector Half() const { return (max - min) * 0.5; }
};

Box BoxOf(const std::vector<Vector>& points) {
  Box box{points.at(0), points.at(0)};
  for (const Vector& p : points) {
    box.min = {std::min(box.min.x, p.x), std::min(box.min.y, p.y), std::min(box.min.z, p.z)};
    box.max = {std::max(box.max.x, p.x), std::max(box.max.y, p.y), std::max(box.max.z, p.z)};
  }
  return box;
}

void ExpectNear(const Vector& a, const Vector& b, Float tolerance) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, b.z, tolerance);
}

// A text spline in a document of its own, evaluated on demand.
class TextScene {
public:
  // In the labels' font.
  TextScene(const char* text, Float height, Int32 align) : doc_(BaseDocument::Alloc()), text_(BaseObject::Alloc(Osplinetext)) {
    doc_->InsertObject(text_, nullptr, nullptr);
    text_->GetDataInstance()->SetData(PRIM_TEXT_FONT, GeData(FontData(FontDescriptionFor("Liberation Sans", "Regular"))));
    Set(text, height, align);
  }
  ~TextScene() { BaseDocument::Free(doc_); }
  TextScene(const TextScene&) = delete;
  TextScene& operator=(const TextScene&) = delete;

  // Written straight into the container, as the module writes its labels' texts.
  void Set(const char* text, Float height, Int32 align) {
    BaseContainer* bc = text_->GetDataInstance();
    bc->SetFloat(PRIM_TEXT_HEIGHT, height);
    bc->SetInt32(PRIM_TEXT_ALIGN, align);
    bc->SetString(PRIM_TEXT_TEXT, String(text));
  }
  BaseObject* Object() const { return text_; }
  PassStatistics Evaluate() const { return ExecutePasses(doc_); }
  const SplineObject& Contour() const {
    Evaluate();
    return *static_cast<const SplineObject*>(text_->GetCache());
  }
  // Every contour's points, in order.
  std::vector<std::vector<Vector>> Contours() const {
    const SplineObject& spline = Contour();
    std::vector<std::vector<Vector>> out;
    const Vector* p = spline.GetPointR();
    for (const Segment& s : spline.GetEffectiveSegments()) {
      EXPECT_TRUE(s.closed);
      out.emplace_back(p, p + s.cnt);
      p += s.cnt;
    }
    return out;
  }
  std::vector<Vector> Points() const {
    const SplineObject& spline = Contour();
    return {spline.GetPointR(), spline.GetPointR() + spline.GetPointCount()};
  }

private:
  BaseDocument* doc_;
  BaseObject* text_;
};

TEST(TextSpline, DigitsStandAsTallAsTheHeightOnTheBaselineAndAreMeasuredAtOnce) {
  TextScene label("-180.0", 7.0, TEXT_ALIGN_MIDDLE);
  // Before any evaluation, as a module measures a label it has just set up.
  const Vector rad = label.Object()->GetRad();
  const Vector mp = label.Object()->GetMp();

  const auto contours = label.Contours();
  // "-" 1, "1" 1, "8" 3, "0" 2, "." 1, "0" 2: one closed segment per outline contour.
  for (const auto& c : contours) {
    EXPECT_GE(c.size(), 4u);
  }
  EXPECT_EQ(contours.size(), 10u);
  const Box box = BoxOf(label.Points());
  EXPECT_EQ(label.Object()->GetRad(), rad);
  ExpectNear(rad, box.Half(), 1e-12);
  ExpectNear(mp, box.Centre(), 1e-12);
  // Flat-topped digits reach the cap height exactly; round ones overshoot a little, as
  // fonts draw them.
  EXPECT_NEAR(box.min.y, 0.0, 0.2);
  EXPECT_NEAR(box.max.y, 7.0, 0.2);
  EXPECT_EQ(box.min.z, 0.0);
  EXPECT_EQ(box.max.z, 0.0);

  // Twice the height is the same outline twice the size.
  label.Set("-180.0", 14.0, TEXT_ALIGN_MIDDLE);
  ExpectNear(label.Object()->GetRad(), rad * 2.0, 1e-9);
  ExpectNear(label.Object()->GetMp(), mp * 2.0, 1e-9);
}

TEST(TextSpline, AlignmentPutsTheStartMiddleOrEndOfTheLineAtTheOrigin) {
  Box boxes[3];
  for (Int32 align = 0; align < 3; ++align) {
    TextScene label("808", 7.0, align);
    boxes[align] = BoxOf(label.Points());
  }
  // The outline begins one side bearing after the pen's start and ends one before its end.
  const Float bearing = 0.1 * 7.0;
  EXPECT_GT(boxes[0].min.x, 0.0);
  EXPECT_LT(boxes[0].min.x, bearing);
  EXPECT_LT(boxes[2].max.x, 0.0);
  EXPECT_GT(boxes[2].max.x, -bearing);
  EXPECT_NEAR(boxes[1].Centre().x, 0.0, 0.05);
  // Only moved along X: same shape, middle half-way between the others.
  for (const Box& b : boxes) {
    ExpectNear(b.Half(), boxes[0].Half(), 1e-9);
    EXPECT_NEAR(b.min.y, boxes[0].min.y, 1e-9);
  }
  EXPECT_NEAR(boxes[1].min.x, 0.5 * (boxes[0].min.x + boxes[2].min.x), 1e-9);
}

TEST(TextSpline, ReadsAlongPlusXWithPlusYUp) {
  // "L": the stem stands at the left for the full height, the foot runs right at the bottom.
  TextScene letter("L", 10.0, TEXT_ALIGN_LEFT);
  const std::vector<Vector> points = letter.Points();
  const Box box = BoxOf(points);
  const Float width = box.max.x - box.min.x;
  Float stemTop = -1e9, footTop = -1e9;
  for (const Vector& p : points) {
    if (p.x < box.min.x + 0.1 * width) stemTop = std::max(stemTop, p.y);
    if (p.x > box.max.x - 0.1 * width) footTop = std::max(footTop, p.y);
  }
  EXPECT_NEAR(stemTop, 10.0, 0.05);
  EXPECT_LT(footTop, 2.5);

  // Glyphs follow each other along +X in reading order.
  TextScene pair("-1", 10.0, TEXT_ALIGN_LEFT);
  const auto contours = pair.Contours();
  ASSERT_EQ(contours.size(), 2u);
  EXPECT_LT(BoxOf(contours[0]).max.x, BoxOf(contours[1]).min.x);
  EXPECT_LT(BoxOf(contours[0]).max.y, 5.0);  // the dash stands low, the one tall
}

TEST(TextSpline, AnyTextGivesAnOutlineOrNothingNeverAFailure) {
  TextScene text("", 7.0, TEXT_ALIGN_LEFT);
  EXPECT_EQ(text.Contour().GetPointCount(), 0);
  EXPECT_EQ(text.Object()->GetRad(), Vector());
  for (const char* blank : {"   ", "\t\n", "\x01\x7f"}) {
    text.Set(blank, 7.0, TEXT_ALIGN_LEFT);
    EXPECT_EQ(text.Contour().GetPointCount(), 0) << blank;
  }
  for (Float height : {0.0, -7.0, std::nan(""), 1.79e308}) {
    text.Set("8", height, TEXT_ALIGN_LEFT);
    EXPECT_EQ(text.Contour().GetPointCount(), 0) << height;
  }

  // Characters the font lacks all show its one missing-glyph shape.
  text.Set("\xF0\x9F\x98\x80", 7.0, TEXT_ALIGN_LEFT);  // U+1F600, an emoji
  const auto notdef = text.Contours();
  ASSERT_FALSE(notdef.empty());
  text.Set("\xE4\xB8\xAD", 7.0, TEXT_ALIGN_LEFT);  // U+4E2D
  EXPECT_EQ(text.Contours(), notdef);
  text.Set("8\xFF\xC3", 7.0, TEXT_ALIGN_LEFT);  // not UTF-8 after the digit
  EXPECT_GT(text.Contours().size(), 3u);

  // A line break starts the next line below, at the same left edge.
  text.Set("1", 7.0, TEXT_ALIGN_LEFT);
  const std::vector<Vector> one = text.Points();
  for (const char* twoLines : {"1\n1", "1\r\n1", "1\r1"}) {
    text.Set(twoLines, 7.0, TEXT_ALIGN_LEFT);
    const auto lines = text.Contours();
    ASSERT_EQ(lines.size(), 2u) << twoLines;
    EXPECT_EQ(lines[0], one);
    const Float drop = lines[0][0].y - lines[1][0].y;
    EXPECT_GT(drop, 7.0);
    EXPECT_LT(drop, 14.0);
    for (std::size_t i = 0; i < one.size(); ++i) {
      ExpectNear(lines[1][i], one[i] - Vector(0.0, drop, 0.0), 1e-9);
    }
  }
}

TEST(TextSpline, ItsContourIsRebuiltOnlyWhenItsSettingsChange) {
  TextScene label("0.0", 7.0, TEXT_ALIGN_RIGHT);
  EXPECT_EQ(label.Evaluate().cachesBuilt, 1);
  const BaseObject* first = label.Object()->GetCache();
  EXPECT_EQ(label.Evaluate().cachesKept, 1);
  EXPECT_EQ(label.Object()->GetCache(), first);

  // No message announces these writes; the text spline notices them itself.
  label.Set("0.0", 7.0, TEXT_ALIGN_RIGHT);
  EXPECT_EQ(label.Evaluate().cachesKept, 1);
  label.Set("1.0", 7.0, TEXT_ALIGN_RIGHT);
  EXPECT_EQ(label.Evaluate().cachesBuilt, 1);
  const Vector before = label.Object()->GetMp();
  label.Object()->GetDataInstance()->SetData(PRIM_TEXT_FONT,
                                             GeData(FontData(FontDescriptionFor("Liberation Serif", "Regular"))));
  EXPECT_EQ(label.Evaluate().cachesBuilt, 1);
  EXPECT_NE(label.Object()->GetMp(), before);
}

}  // namespace
