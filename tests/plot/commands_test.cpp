#include <cmath>

#include "host/geometry/polygon_object.h"
#include "host/scene/plugin_glue.h"
#include "host/ui/dialogs.h"
#include "mesh/surfo_mesh.h"
#include "tests/plot/plot_fixture.h"

namespace vantelle {
namespace {

using Commands = PlotFixture;

TEST_F(Commands, EveryPresetArrivesAsTypedThroughTheParameterNotice) {
  const char* presets[] = {"Sin(x) * Cos(z)",
                           "x^3 * Sin(z * 10)",
                           "x * x * z",
                           "Tan(x) * Atan(z)",
                           "Pow(Sin(x); 3)",
                           "(x * x) / (z * z)",
                           "Pow((x * x) + (z * z); 0.5)",
                           "Cos(Abs(x) + Abs(z))",
                           "Log(x)",
                           "x * Cos(z)",
                           "Sin(Sqrt((x * x) + (z * z)))"};
  for (Int32 i = 10; i >= 0; --i) {
    Set(SURFO_PRESET, i);
    EXPECT_EQ(bc->GetString(SURFO_FORMULA).GetStd(), presets[i]) << i;
  }
}

TEST_F(Commands, APresetReplacesTheFormulaAndOutOfRangeValuesKeepIt) {
  Set(SURFO_FORMULA, String("x + 1"));
  Set(SURFO_PRESET, Int32(3));
  EXPECT_EQ(bc->GetString(SURFO_FORMULA).GetStd(), "Tan(x) * Atan(z)");
  Set(SURFO_PRESET, Int32(10));
  EXPECT_EQ(bc->GetString(SURFO_FORMULA).GetStd(), "Sin(Sqrt((x * x) + (z * z)))");
  Set(SURFO_FORMULA, String("x * 2"));
  for (Int32 outside : {11, -1}) {
    Set(SURFO_PRESET, outside);
    EXPECT_EQ(bc->GetString(SURFO_FORMULA).GetStd(), "x * 2");
  }
  Set(SURFO_PRESET, Int32(0));
  EXPECT_EQ(bc->GetString(SURFO_FORMULA).GetStd(), "Sin(x) * Cos(z)");
  // The formula takes effect in the next pass, not at once.
  Evaluate();
  const Int64 before = GetStringToNumberCount();
  Set(SURFO_PRESET, Int32(2));
  EXPECT_EQ(GetStringToNumberCount(), before);
  EXPECT_EQ(Evaluate(), 2601);
}

TEST_F(Commands, ResetRestoresEveryDefaultButLeavesTheSamples) {
  Set(SURFO_FORMULA, String("x"));
  Set(SURFO_HEIGHT, 80.0);
  Set(SURFO_COLORMODE, SURFO_COLORMODE_SINGLE);
  Set(SURFO_GRADIENT, GeData(Gradient()));
  Evaluate();
  ASSERT_EQ(plot->GetParameters().formula.GetStd(), "x");
  op->PressButton(DescID(SURFO_RESET));
  EXPECT_EQ(bc->GetString(SURFO_FORMULA).GetStd(), "Sin(x) * Cos(z)");
  EXPECT_EQ(bc->GetFloat(SURFO_HEIGHT), 50.0);
  EXPECT_EQ(bc->GetInt32(SURFO_COLORMODE), SURFO_COLORMODE_GRADIENT);
  ASSERT_NE(bc->GetCustomData<Gradient>(SURFO_GRADIENT), nullptr);
  EXPECT_EQ(bc->GetCustomData<Gradient>(SURFO_GRADIENT)->GetKnotCount(), 3);
  EXPECT_EQ(Count(), 2601u);
  // The instance's copies are the defaults at once, before any pass reads the container.
  EXPECT_EQ(plot->GetParameters().formula.GetStd(), "Sin(x) * Cos(z)");
  EXPECT_EQ(plot->GetParameters().halfHeight, 25.0);
  EXPECT_EQ(plot->GetParameters().colorMode, SURFO_COLORMODE_GRADIENT);
}

TEST_F(Commands, AfterAResetTheMeshFollowsAndTheSamplesTakeTheResetColours) {
  RegisterMesh();
  BaseObject* mesh = BaseObject::Alloc(Osurfomesh);
  mesh->InsertUnder(op);
  Set(SURFO_SIZE, 400.0);
  Set(SURFO_HEIGHT, 20.0);
  Set(SURFO_COLORMODE, SURFO_COLORMODE_SINGLE);
  Set(SURFO_COLOR, Vector(1, 0, 1));
  Set(SURFO_FORMULA, String("x / 180"));
  Set(SURFO_HEIGHTMODE, SURFO_HEIGHTMODE_FREE);
  Evaluate();
  op->PressButton(DescID(SURFO_RESET));
  bc->SetString(SURFO_FORMULA, String("x / 180"));  // the same samples, rescaled and recoloured
  bc->SetInt32(SURFO_HEIGHTMODE, SURFO_HEIGHTMODE_FREE);
  EXPECT_EQ(Evaluate(), 0);
  const auto* surface = dynamic_cast<PolygonObject*>(mesh->GetCache());
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->GetPointR()[0], Vector(-100, -25, -100)) << "size 200 and height 50 again";
  EXPECT_EQ(Sample(0, 0).colour, Vector(0, 0, 1)) << "the gradient again, from the rescaled heights";
  EXPECT_EQ(Sample(25, 0).colour, Vector(0, 1, 0));
  EXPECT_EQ(Sample(50, 0).colour, Vector(1, 0, 0));
}

TEST_F(Commands, SwitchingThePlotEmptiesItsSamplesAndAnnouncesIt) {
  Evaluate();
  const UInt32 dirty = op->GetDirty(DIRTYFLAGS::DATA);
  const Int64 redraws = GetEventAddCount();
  op->SetDeformMode(false);
  EXPECT_EQ(Count(), 0u);
  EXPECT_NE(op->GetDirty(DIRTYFLAGS::DATA), dirty);
  EXPECT_EQ(GetEventAddCount(), redraws + 1);
}

TEST_F(Commands, TheHostCanAskForTheComputedState) {
  BaseContainer state;
  op->Message(MSG_HOST_QUERY_STATE, &state);  // asked before any samples exist
  EXPECT_EQ(state.GetInt64(STATE_SAMPLE_COUNT, -1), 0);
  Set(SURFO_RESOLUTION, Int32(4));
  Evaluate();
  state = BaseContainer();
  op->Message(MSG_HOST_QUERY_STATE, &state);
  EXPECT_EQ(state.GetInt64(STATE_SAMPLE_COUNT), 25);
  EXPECT_EQ(state.GetInt32(STATE_RESOLUTION), 4);
  EXPECT_EQ(state.GetFloat(STATE_MIN_VALUE), -1.0);
  EXPECT_EQ(state.GetFloat(STATE_MAX_VALUE), 1.0);
  EXPECT_FALSE(state.GetBool(STATE_USES_TIME, true));
  EXPECT_TRUE(state.GetBool(STATE_COMPLETE));
  EXPECT_EQ(state.GetInt64(STATE_UNDEFINED_COUNT, -1), 0);
  EXPECT_EQ(state.GetInt64(STATE_NONFINITE_COUNT, -1), 0);
  EXPECT_TRUE(state.GetData(STATE_FORMULA_ERROR).IsNil());
  op->Message(MSG_HOST_QUERY_STATE, nullptr);  // no container: nothing to fill, no crash

  // The host's own reason comes back with its column and the parameter it is about.
  Set(SURFO_FORMULA, String("Sinn(x)"));
  Evaluate();
  state = BaseContainer();
  op->Message(MSG_HOST_QUERY_STATE, &state);
  EXPECT_EQ(state.GetString(STATE_FORMULA_ERROR).GetStd(), "unknown function \"Sinn\" (did you mean Sin?)");
  EXPECT_EQ(state.GetInt32(STATE_FORMULA_COLUMN), 1);
  EXPECT_EQ(state.GetInt32(STATE_FORMULA_PARAMETER), SURFO_FORMULA);
  EXPECT_EQ(state.GetInt64(STATE_UNDEFINED_COUNT), 25);

  // A value whose height leaves the range of doubles: the values stay true, the samples
  // say they have no place.
  Set(SURFO_FORMULA, String("Exp(708)"));
  Evaluate();
  state = BaseContainer();
  op->Message(MSG_HOST_QUERY_STATE, &state);
  EXPECT_EQ(state.GetFloat(STATE_MIN_VALUE), std::exp(708.0));
  EXPECT_EQ(state.GetFloat(STATE_MAX_VALUE), std::exp(708.0));
  EXPECT_EQ(state.GetInt64(STATE_NONFINITE_COUNT), 25);
  EXPECT_EQ(state.GetInt64(STATE_UNDEFINED_COUNT), 0);

  // All rows but x = 0 out of range, then none: the count follows every computation.
  Set(SURFO_FORMULA, String("Exp(708) * (x / 180)"));
  Evaluate();
  state = BaseContainer();
  op->Message(MSG_HOST_QUERY_STATE, &state);
  EXPECT_EQ(state.GetInt64(STATE_NONFINITE_COUNT), 20);
  Set(SURFO_FORMULA, String("x"));
  Evaluate();
  state = BaseContainer();
  op->Message(MSG_HOST_QUERY_STATE, &state);
  EXPECT_EQ(state.GetInt64(STATE_NONFINITE_COUNT, -1), 0);
}

}  // namespace
}  // namespace vantelle

namespace vantelle {
namespace {

// A plot whose component button can add meshes, with the host's dialogs scripted.
class AddingComponents : public PlotFixture {
protected:
  static void SetUpTestSuite() {
    PlotFixture::SetUpTestSuite();
    RegisterMesh();
  }
  void SetUp() override {
    PlotFixture::SetUp();
    SetQuestionHandler([this](const String& text) {
      questions.push_back(text.GetStd());
      return answer;
    });
  }
  void TearDown() override {
    SetQuestionHandler(nullptr);
    PlotFixture::TearDown();
  }
  void Add(Int32 kind, BaseObject* target = nullptr) {
    target = target != nullptr ? target : op;
    target->GetDataInstance()->SetInt32(SURFO_ADDCOMPONENT, kind);
    target->PressButton(DescID(SURFO_ADDCOMPONENT));
  }

  std::vector<std::string> questions;
  Bool answer = false;
};

// Remembers the documents its menu preparation was handed.
class PreparedSpy : public ObjectData {
public:
  static NodeData* Alloc() { return new PreparedSpy(); }
  Bool Message(GeListNode*, Int32 type, void* data) override {
    if (type == MSG_MENUPREPARE) {
      prepared.push_back(static_cast<BaseDocument*>(data));
    }
    return true;
  }
  std::vector<BaseDocument*> prepared;
};

TEST_F(AddingComponents, TheFirstComponentOfAKindIsAddedAtOnceAsFirstChild) {
  BaseObject* existing = BaseObject::Alloc(Onull);
  existing->InsertUnder(op);
  Add(0);
  ASSERT_NE(op->GetDown(), nullptr);
  EXPECT_EQ(op->GetDown()->GetType(), Osurfomesh);
  EXPECT_EQ(op->GetDown()->GetNext(), existing);
  EXPECT_TRUE(questions.empty());
  EXPECT_TRUE(op->GetNBit(14));

  // The new component prepares itself on the plot's document.
  RegisterObjectPlugin(Osurfolabel, String("Labels"), 0, PreparedSpy::Alloc, String(), nullptr, 0);
  Add(3);
  ASSERT_EQ(op->GetDown()->GetType(), Osurfolabel);
  EXPECT_EQ(op->GetDown()->GetNodeData<PreparedSpy>()->prepared, std::vector<BaseDocument*>{doc});
}

TEST_F(AddingComponents, ASecondOfTheSameKindAsksFirstAndNoAddsNothing) {
  Add(0);
  BaseObject* first = op->GetDown();
  answer = false;
  Add(0);
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0], "A component of this type already exists. Do you want to add another one?");
  EXPECT_EQ(op->GetDown(), first);
  EXPECT_EQ(first->GetNext(), nullptr);

  answer = true;
  Add(0);
  EXPECT_EQ(op->GetDown()->GetNext(), first) << "the new one goes in front";
}

TEST_F(AddingComponents, OnlyComponentsBelowThisPlotCount) {
  // A mesh nested under a null below the plot counts...
  BaseObject* group = BaseObject::Alloc(Onull);
  group->InsertUnder(op);
  BaseObject::Alloc(Osurfomesh)->InsertUnder(group);
  Add(0);
  EXPECT_EQ(questions.size(), 1u);

  // ...a mesh under the next plot does not.
  BaseObject* other = BaseObject::Alloc(Osurfo);
  doc->InsertObject(other, nullptr, op);
  BaseObject::Alloc(Osurfomesh)->InsertUnder(other);
  BaseObject* lonely = BaseObject::Alloc(Osurfo);
  doc->InsertObject(lonely, nullptr, nullptr);
  Add(0, lonely);
  EXPECT_EQ(questions.size(), 1u);
  EXPECT_EQ(lonely->GetDown()->GetType(), Osurfomesh);
}

TEST_F(AddingComponents, KindsOutsideTheListOrUnavailableTypesAddNothing) {
  for (Int32 kind : {-1, 4, 99}) {
    Add(kind);
  }
  Add(2);  // cages are not registered in this test: nothing can be allocated
  EXPECT_EQ(op->GetDown(), nullptr);
  EXPECT_FALSE(op->GetNBit(14));
}

TEST_F(AddingComponents, ManualAndInfoGoThroughTheHost) {
  std::vector<std::string> opened, shown;
  SetExecuteFileHandler([&opened](const Filename& f) {
    opened.push_back(f.GetString().GetStd());
    return true;
  });
  SetMessageHandler([&shown](const String& text) { shown.push_back(text.GetStd()); });
  ModuleInfo info;
  info.folder = Filename("/opt/plugins/Vantelle");
  plugin_glue::g_moduleInfo = &info;
  plugin_glue::g_resource.Init(Filename(VANTELLE_SOURCE_DIR "/res"));

  op->PressButton(DescID(SURFO_MANUAL));
  op->PressButton(DescID(SURFO_INFO));
  plugin_glue::g_moduleInfo = nullptr;
  plugin_glue::g_resource.Free();
  SetExecuteFileHandler(nullptr);
  SetMessageHandler(nullptr);

  EXPECT_EQ(opened, std::vector<std::string>{"/opt/plugins/Vantelle/Vantelle.pdf"});
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("y = f(x, z)"), std::string::npos);
}

}  // namespace
}  // namespace vantelle
