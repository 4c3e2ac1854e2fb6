// The labels component below a real plot: its thirteen children as the worked examples
// place them, what switches them, what rebuilds them, and the font it picks.
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "host/core/font_data.h"
#include "host/files/clip_map.h"
#include "host/files/font_catalog.h"
#include "host/geometry/text_spline.h"
#include "labels/label_objects.h"
#include "tests/plot/plot_fixture.h"

namespace vantelle {
namespace {

constexpr Float kQuarter = 1.5707963267948966;
constexpr Float kHalf = 3.141592653589793;
constexpr Float kThreeQuarters = 4.71238898038469;

// What a child of the component shows, as one comparable row.
struct Child {
  std::string name;
  std::string text;  // its text spline's; "(none)" without one
  Vector position;
  Float heading = 0.0;
  Int32 alignment = -1;
  std::string mode;  // "on", "off", or "mixed" when editor and render disagree
  bool operator==(const Child&) const = default;
};

void PrintTo(const Child& c, std::ostream* out) {
  *out << c.name << " \"" << c.text << "\" at (" << c.position.x << ", " << c.position.y << ", " << c.position.z
       << ") heading " << c.heading << " align " << c.alignment << " " << c.mode;
}

// An entry no one else writes, to tell an object that was kept from one made anew.
constexpr Int32 kStamp = 987654;

class Labels : public PlotFixture {
protected:
  static void SetUpTestSuite() {
    PlotFixture::SetUpTestSuite();
    RegisterLabels();
  }
  // Added as a user does: through the plot's component button, then one pass.
  void SetUp() override {
    PlotFixture::SetUp();
    Set(SURFO_ADDCOMPONENT, Int32(3));
    op->PressButton(DescID(SURFO_ADDCOMPONENT));
    labels = FindComponent(op, Osurfolabel);
    ASSERT_NE(labels, nullptr);
    ASSERT_EQ(labels->GetUp(), op);
    Evaluate();
  }

  void SetLabel(Int32 id, const GeData& value) { labels->SetParameter(DescID(id), value); }
  void Press(Int32 id) { labels->PressButton(DescID(id)); }

  std::vector<Child> Children() const {
    std::vector<Child> rows;
    for (const BaseObject* c = labels->GetDown(); c != nullptr; c = c->GetNext()) {
      const BaseObject* text = c->GetDown();
      const BaseContainer* tc = text != nullptr ? text->GetDataInstance() : nullptr;
      const bool on = c->GetEditorMode() == MODE_ON && c->GetRenderMode() == MODE_ON;
      const bool off = c->GetEditorMode() == MODE_OFF && c->GetRenderMode() == MODE_OFF;
      rows.push_back({c->GetName().GetStd(), tc != nullptr ? tc->GetString(PRIM_TEXT_TEXT).GetStd() : "(none)",
                      c->GetRelPos(), c->GetRelRot().x, tc != nullptr ? tc->GetInt32(PRIM_TEXT_ALIGN) : -1,
                      on ? "on" : (off ? "off" : "mixed")});
    }
    return rows;
  }
  std::string Modes() const {
    std::string modes;
    for (const Child& c : Children()) {
      modes += c.mode == "on" ? '1' : (c.mode == "off" ? '0' : '?');
    }
    return modes;
  }
  BaseObject* Find(const char* name) const { return FindLabelObject(labels, String(name)); }
  void StampAll() const {
    for (BaseObject* c = labels->GetDown(); c != nullptr; c = c->GetNext()) {
      c->GetDataInstance()->SetInt32(kStamp, 1);
    }
  }
  // How many children still carry the stamp, that is, were not made anew.
  int Stamped() const {
    int kept = 0;
    for (const BaseObject* c = labels->GetDown(); c != nullptr; c = c->GetNext()) {
      kept += c->GetDataInstance()->GetInt32(kStamp);
    }
    return kept;
  }
  // Half the height of a label's text, which places the vertical labels.
  Float R(const char* name) const { return Find(name)->GetDown()->GetRad().y; }

  BaseObject* labels = nullptr;
};

TEST_F(Labels, TheDefaultPlotHasThirteenChildrenInOrderPlacedAsTheWorkedExamplesSay) {
  const Float r = R("_SurfoVLabel0_");
  EXPECT_GT(r, 3.0) << "digits 7 units tall";
  EXPECT_EQ(R("_SurfoVLabel3_"), r);
  const std::vector<Child> expected = {
      {"_SurfoHLabel0_", "-180.0", {-100, -32, -100}, 0.0, 0, "on"},
      {"_SurfoHLabel1_", "0.0", {0, -32, -100}, 0.0, 1, "on"},
      {"_SurfoHLabel2_", "180.0", {100, -32, -100}, 0.0, 2, "on"},
      {"_SurfoHLabel3_", "-180.0", {100, -32, -100}, kQuarter, 0, "off"},
      {"_SurfoHLabel4_", "0.0", {100, -32, 0}, kQuarter, 1, "off"},
      {"_SurfoHLabel5_", "180.0", {100, -32, 100}, kQuarter, 2, "off"},
      {"_SurfoVLabel0_", "1.0", {-102, 25 - 2 * r, -100}, 0.0, 2, "on"},
      {"_SurfoVLabel1_", "0.0", {-102, -R("_SurfoVLabel1_"), -100}, 0.0, 2, "on"},
      {"_SurfoVLabel2_", "-1.0", {-102, -25, -100}, 0.0, 2, "on"},
      {"_SurfoVLabel3_", "1.0", {98, 25 - 2 * r, -100}, kQuarter, 2, "off"},
      {"_SurfoVLabel4_", "0.0", {98, -R("_SurfoVLabel4_"), -100}, kQuarter, 2, "off"},
      {"_SurfoVLabel5_", "-1.0", {98, -25, -100}, kQuarter, 2, "off"},
      {"_SurfoLegend_", "Formula: Sin(x) * Cos(z)", {0, 27, 0}, 0.0, 1, "on"},
  };
  EXPECT_EQ(Children(), expected);

  // Every label is an extrude 0.1 deep in the label colour, in the chosen font.
  for (const BaseObject* c = labels->GetDown(); c != nullptr; c = c->GetNext()) {
    ASSERT_EQ(c->GetType(), Oextrude);
    EXPECT_EQ(c->GetDataInstance()->GetVector(1009), Vector(0, 0, 0.1));
    EXPECT_EQ(c->GetDataInstance()->GetVector(1002), Vector(0, 0, 0.1));
    ObjectColorProperties colour;
    c->GetColorProperties(&colour);
    EXPECT_EQ(colour, (ObjectColorProperties{Vector(1, 1, 1), 1, false}));
    ASSERT_EQ(c->GetDown()->GetType(), Osplinetext);
    EXPECT_EQ(c->GetDown()->GetNext(), nullptr);
    EXPECT_EQ(c->GetDown()->GetDataInstance()->GetFloat(PRIM_TEXT_HEIGHT), 7.0);
    const auto* font = c->GetDown()->GetDataInstance()->GetCustomData<FontData>(PRIM_TEXT_FONT);
    ASSERT_NE(font, nullptr) << c->GetName().GetStd();
    EXPECT_EQ(font->GetFont().GetString(FONTDESC_FAMILY), String("Liberation Sans"));
  }
  // Text reads along its +X and faces -Z: the front set reads from the front, the side
  // set (turned a quarter) along +Z, facing +X, from the right.
  const Matrix front = Find("_SurfoHLabel0_")->GetMg();
  const Matrix side = Find("_SurfoHLabel3_")->GetMg();
  EXPECT_EQ(front.v1, Vector(1, 0, 0));
  EXPECT_NEAR((side.v1 - Vector(0, 0, 1)).GetLength(), 0.0, 1e-12);
  EXPECT_NEAR((side.v3 - Vector(-1, 0, 0)).GetLength(), 0.0, 1e-12);

  // The labels build nothing in their own cache, and the plot's one pass rebuilt them once.
  ASSERT_NE(labels->GetCache(), nullptr);
  EXPECT_EQ(labels->GetCache()->GetType(), Onull);
  EXPECT_EQ(labels->GetCache()->GetDown(), nullptr);
}

TEST_F(Labels, FlippedTheyStandOnTheOppositeEdgesTurnedAndAlignedToReadFromThere) {
  SetLabel(SURFOLABEL_FLIP, true);
  SetLabel(SURFOLABEL_DECIMALS, Int32(3));
  const Float r = R("_SurfoVLabel0_");
  const std::vector<Child> expected = {
      {"_SurfoHLabel0_", "-180.000", {-100, -32, 100}, kHalf, 2, "on"},
      {"_SurfoHLabel1_", "0.000", {0, -32, 100}, kHalf, 1, "on"},
      {"_SurfoHLabel2_", "180.000", {100, -32, 100}, kHalf, 0, "on"},
      {"_SurfoHLabel3_", "-180.000", {-100, -32, -100}, kThreeQuarters, 2, "off"},
      {"_SurfoHLabel4_", "0.000", {-100, -32, 0}, kThreeQuarters, 1, "off"},
      {"_SurfoHLabel5_", "180.000", {-100, -32, 100}, kThreeQuarters, 0, "off"},
      {"_SurfoVLabel0_", "0.998", {102, 25 - 2 * r, 100}, kHalf, 2, "on"},
      {"_SurfoVLabel1_", "0.000", {102, -R("_SurfoVLabel1_"), 100}, kHalf, 2, "on"},
      {"_SurfoVLabel2_", "-0.998", {102, -25, 100}, kHalf, 2, "on"},
      {"_SurfoVLabel3_", "0.998", {-98, 25 - 2 * r, 100}, kThreeQuarters, 2, "off"},
      {"_SurfoVLabel4_", "0.000", {-98, -R("_SurfoVLabel4_"), 100}, kThreeQuarters, 2, "off"},
      {"_SurfoVLabel5_", "-0.998", {-98, -25, 100}, kThreeQuarters, 2, "off"},
      {"_SurfoLegend_", "Formula: Sin(x) * Cos(z)", {0, 27, 0}, 0.0, 1, "on"},
  };
  EXPECT_EQ(Children(), expected);

  // The side set shows the plot's own Z range once it has one; the front keeps X.
  op->SetParameter(DescID(SURFO_USEZRANGE), GeData(true));
  op->SetParameter(DescID(SURFO_ZMIN), GeData(0.0));
  op->SetParameter(DescID(SURFO_ZMAX), GeData(10.0));
  SetLabel(SURFOLABEL_DECIMALS, Int32(1));
  const std::vector<Child> rows = Children();
  EXPECT_EQ(rows[0].text + " " + rows[2].text, "-180.0 180.0");
  EXPECT_EQ(rows[3].text + " " + rows[4].text + " " + rows[5].text, "0.0 5.0 10.0");
}

TEST_F(Labels, SidesAndShowFlagsSwitchTheSameObjectsAndTheEnableSwitchHidesThenRebuilds) {
  StampAll();
  //                                          H0-5    V0-5    legend
  SetLabel(SURFOLABEL_SIDES, Int32(0));
  EXPECT_EQ(Modes(), "000111" "000111" "1");
  SetLabel(SURFOLABEL_SIDES, Int32(2));
  EXPECT_EQ(Modes(), "111111" "111111" "1");
  SetLabel(SURFOLABEL_SIDES, Int32(7));
  EXPECT_EQ(Modes(), "111111" "111111" "1") << "an unknown choice changes nothing";
  SetLabel(SURFOLABEL_SIDES, Int32(1));
  EXPECT_EQ(Modes(), "111000" "111000" "1");
  SetLabel(SURFOLABEL_HLABELS, false);
  SetLabel(SURFOLABEL_SIDES, Int32(2));
  EXPECT_EQ(Modes(), "000000" "111111" "1") << "hidden horizontal labels stay hidden";
  SetLabel(SURFOLABEL_HLABELS, true);
  SetLabel(SURFOLABEL_VLABELS, false);
  SetLabel(SURFOLABEL_LEGEND, false);
  EXPECT_EQ(Modes(), "111111" "000000" "0");
  EXPECT_EQ(Stamped(), 13) << "switching never re-creates a label";

  // A rebuild with a choice outside 0..2 makes every axis label hidden.
  SetLabel(SURFOLABEL_VLABELS, true);
  SetLabel(SURFOLABEL_LEGEND, true);
  labels->GetDataInstance()->SetInt32(SURFOLABEL_SIDES, -1);
  Press(SURFOLABEL_UPDATE);
  EXPECT_EQ(Modes(), "000000" "000000" "1");
  labels->GetDataInstance()->SetInt32(SURFOLABEL_SIDES, 1);
  Press(SURFOLABEL_UPDATE);

  StampAll();
  labels->SetDeformMode(false);
  EXPECT_EQ(Modes(), "000000" "000000" "0");
  EXPECT_EQ(Stamped(), 13);
  EXPECT_FALSE(labels->GetEnabling(DescID(SURFOLABEL_UPDATE)));
  Press(SURFOLABEL_UPDATE);
  Set(SURFO_FORMULA, String("x"));
  Evaluate();
  EXPECT_EQ(Stamped(), 13) << "a switched-off component rebuilds nothing";
  labels->SetDeformMode(true);
  EXPECT_EQ(Stamped(), 0);
  EXPECT_EQ(Modes(), "111000" "111000" "1");
  EXPECT_EQ(Children()[6].text, "180.0") << "rebuilt from the current plot";
}

TEST_F(Labels, RebuildsFollowTheFormulaInTheSamePassAndReplaceTheirOwnChildrenOnly) {
  StampAll();
  Press(SURFOLABEL_UPDATE);
  Press(SURFOLABEL_UPDATE);
  EXPECT_EQ(Children().size(), 13u);
  EXPECT_EQ(Stamped(), 0);

  // One pass after a formula change: the plot samples, the labels rebuild from it. The
  // scale is the larger magnitude, whichever end it is at.
  Set(SURFO_FORMULA, String("x / 90 - 1"));
  Evaluate();
  std::vector<Child> rows = Children();
  EXPECT_EQ(rows[6].text + " " + rows[7].text + " " + rows[8].text, "3.0 0.0 -3.0");
  EXPECT_EQ(rows[12].text, "Formula: x / 90 - 1");
  Set(SURFO_FORMULA, String("x / 90 + 0.5"));
  Evaluate();
  rows = Children();
  EXPECT_EQ(rows[6].text + " " + rows[8].text, "2.5 -2.5");
  Set(SURFO_FORMULA, String(""));
  Evaluate();
  EXPECT_EQ(Children()[12].text, "Formula: ");

  // Size rebuilds everything one text height lower; reset brings the defaults back.
  SetLabel(SURFOLABEL_SIZE, 10.0);
  EXPECT_EQ(Children()[1].position, Vector(0, -35, -100));
  labels->GetDataInstance()->RemoveData(SURFOLABEL_FONT);
  Press(SURFOLABEL_RESET);
  EXPECT_EQ(Children()[1].position, Vector(0, -32, -100));
  EXPECT_NE(labels->GetDataInstance()->GetCustomData<FontData>(SURFOLABEL_FONT), nullptr);

  // A user's object of a label's name below the component, even nested and before the
  // label, is the one replaced; the component's own label of that name then stays, and an
  // object of the name elsewhere, or the component itself so named, is left alone.
  StampAll();
  BaseObject* folder = BaseObject::Alloc(Onull);
  folder->InsertUnder(labels);
  BaseObject* impostor = BaseObject::Alloc(Ocube);
  impostor->SetName(String("_SurfoHLabel0_"));
  impostor->InsertUnder(folder);
  BaseObject* outside = BaseObject::Alloc(Ocube);
  outside->SetName(String("_SurfoHLabel0_"));
  outside->InsertUnder(op);
  labels->SetName(String("_SurfoHLabel0_"));
  Press(SURFOLABEL_UPDATE);
  EXPECT_EQ(folder->GetDown(), nullptr);
  EXPECT_EQ(outside->GetUp(), op);
  EXPECT_EQ(labels->GetUp(), op);
  rows = Children();
  ASSERT_EQ(rows.size(), 15u);
  EXPECT_EQ(rows[1].name + " " + rows[2].name, "_SurfoHLabel0_ _SurfoHLabel0_");
  EXPECT_EQ(Stamped(), 1) << "only the old label the impostor stood in for is kept";
}

TEST_F(Labels, LegendSettingsMoveTurnAndSwitchTheSameLegend) {
  StampAll();
  SetLabel(SURFOLABEL_LEGENDOFFSET, Vector(10, 5, -3));
  EXPECT_EQ(Find("_SurfoLegend_")->GetRelPos(), Vector(10, 32, -3));
  const Float headings[] = {kQuarter, kThreeQuarters, kHalf, 0.0, 0.0};
  const Int32 choices[] = {0, 1, 2, 3, 7};
  for (int i = 0; i < 5; ++i) {
    SetLabel(SURFOLABEL_LEGENDROTATION, choices[i]);
    EXPECT_EQ(Find("_SurfoLegend_")->GetRelRot(), Vector(headings[i], 0, 0)) << choices[i];
  }
  SetLabel(SURFOLABEL_LEGEND, false);
  EXPECT_EQ(Modes(), "111000" "111000" "0");
  EXPECT_EQ(Stamped(), 13);
  Press(SURFOLABEL_UPDATE);
  EXPECT_EQ(Find("_SurfoLegend_")->GetRelPos(), Vector(10, 32, -3)) << "a rebuild keeps the settings";
  EXPECT_EQ(Modes(), "111000" "111000" "0");
}

// A catalog of three faces whose names share a beginning.
class ThreeFaces final : public FontCatalog {
public:
  explicit ThreeFaces(const char* last) : last_(last) {}
  std::vector<FontFace> ListFaces() override {
    return {Face("Liberation Sans", "Narrow"), Face("Liberation Sans", "Bold"), Face(last_, "Regular")};
  }
  std::optional<FontFace> Match(const String&, const String&) override { return DefaultFace(); }
  std::optional<FontFace> DefaultFace() override { return Face("Default Sans", "Regular"); }

private:
  static FontFace Face(const char* family, const char* style) {
    return {String(family), String(style), ComposeDisplayName(String(family), String(style)), String(), 0};
  }
  const char* last_;
};

TEST(LabelFont, TheExactlyNamedFaceWinsElseTheSystemDefault) {
  const auto chosen = [](const char* last) {
    SetFontCatalog(std::make_unique<ThreeFaces>(last));
    BaseContainer bc;
    const Bool stored = SetDefaultFont(bc);
    SetFontCatalog(nullptr);
    const auto* font = bc.GetCustomData<FontData>(SURFOLABEL_FONT);
    String name;
    const BaseContainer description = font != nullptr ? font->GetFont() : BaseContainer();
    GeClipMap::GetFontName(&description, GE_FONT_NAME_DISPLAY, &name);
    return std::string(stored ? "" : "(not stored) ") + name.GetStd();
  };
  EXPECT_EQ(chosen("Liberation Sans"), "Liberation Sans");
  EXPECT_EQ(chosen("Liberation Serif"), "Default Sans") << "a variant of the name does not match";
}

}  // namespace
}  // namespace vantelle
