// Installed fonts as the host offers them: listing, names, the default face, font values
// in parameters and scene files, and text on a machine without any font.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "host/core/font_data.h"
#include "host/files/clip_map.h"
#include "host/files/font_catalog.h"
#include "host/files/scene_file.h"
#include "host/geometry/spline_object.h"
#include "host/geometry/text_spline.h"
#include "host/scene/execution.h"

namespace {

// What fontconfig's own command answers, to compare the host's choice with.
std::string CommandOutput(const char* command) {
  std::string out;
  if (FILE* pipe = popen(command, "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof(buffer), pipe) != nullptr) {
      out += buffer;
    }
    pclose(pipe);
  }
  return out;
}

// The first listed face whose display name is `name`, found the way a module searches.
const BaseContainer* FindByDisplayName(const BaseContainer& list, const String& name) {
  for (Int32 i = 0; list.GetIndexId(i) != NOTOK; ++i) {
    const BaseContainer* face = list.GetIndexData(i)->GetContainer();
    String display;
    if (face != nullptr && GeClipMap::GetFontName(face, GE_FONT_NAME_DISPLAY, &display) && display == name) {
      return face;
    }
  }
  return nullptr;
}

class NoFonts final : public FontCatalog {
public:
  std::vector<FontFace> ListFaces() override { return {}; }
  std::optional<FontFace> Match(const String&, const String&) override { return std::nullopt; }
  std::optional<FontFace> DefaultFace() override { return std::nullopt; }
};

TEST(Fonts, LiberationSansIsFoundByDisplayNameAndItsVariantsAreNot) {
  BaseContainer list;
  ASSERT_TRUE(GeClipMap::EnumerateFonts(&list, 0));
  const BaseContainer* regular = FindByDisplayName(list, "Liberation Sans");
  ASSERT_NE(regular, nullptr) << "fonts-liberation2 is not installed";
  EXPECT_EQ(regular->GetString(FONTDESC_FAMILY), String("Liberation Sans"));
  EXPECT_EQ(regular->GetString(FONTDESC_STYLE), String("Regular"));
  EXPECT_TRUE(std::filesystem::is_regular_file(regular->GetString(FONTDESC_FILE).GetStd()));
  EXPECT_EQ(regular->GetInt32(FONTDESC_INDEX, -1), 0);

  // The bold face shares the family but is a different display name, so a search for
  // the regular face passes it by.
  const BaseContainer* bold = FindByDisplayName(list, "Liberation Sans Bold");
  ASSERT_NE(bold, nullptr);
  EXPECT_EQ(bold->GetString(FONTDESC_FAMILY), String("Liberation Sans"));
  String boldName;
  ASSERT_TRUE(GeClipMap::GetFontName(bold, GE_FONT_NAME_DISPLAY, &boldName));
  EXPECT_NE(boldName, String("Liberation Sans"));
  Int32 exact = 0;
  for (Int32 i = 0; list.GetIndexId(i) != NOTOK; ++i) {
    String name;
    exact += GeClipMap::GetFontName(list.GetIndexData(i)->GetContainer(), 0, &name) && name == String("Liberation Sans");
  }
  EXPECT_EQ(exact, 1);

  // Names that a description lacks, or kinds nobody defined, are failures.
  String untouched("keep");
  EXPECT_FALSE(GeClipMap::GetFontName(regular, 7, &untouched));
  EXPECT_FALSE(GeClipMap::GetFontName(nullptr, 0, &untouched));
  EXPECT_FALSE(GeClipMap::GetFontName(&list, 0, &untouched));  // a list is no font
  EXPECT_EQ(untouched, String("keep"));

  BaseContainer fallback;
  ASSERT_TRUE(GeClipMap::GetDefaultFont(GE_FONT_DEFAULT_SYSTEM, &fallback));
  EXPECT_EQ(fallback.GetString(FONTDESC_FILE).GetStd() + "\n", CommandOutput("fc-match -f '%{file}\\n' sans-serif"));
  EXPECT_FALSE(GeClipMap::GetDefaultFont(5, &fallback));
}

TEST(Fonts, FontValuesCompareByContentAndCopy) {
  BaseContainer description = FontDescriptionFor("Liberation Sans", "Regular");
  GeData value{FontData()};
  ASSERT_NE(value.GetCustomData<FontData>(), nullptr);
  EXPECT_TRUE(value.GetCustomData<FontData>()->IsEmpty());
  value.GetCustomData<FontData>()->SetFont(&description);

  const GeData copy = value;  // a copy of its own, equal by content
  EXPECT_EQ(copy, value);
  EXPECT_NE(copy.GetCustomData<FontData>(), value.GetCustomData<FontData>());
  EXPECT_EQ(GeData(FontData(FontDescriptionFor("Liberation Sans", "Regular"))), value);
  value.GetCustomData<FontData>()->SetFont(nullptr);
  EXPECT_NE(copy, value);
  EXPECT_NE(GeData(FontData(FontDescriptionFor("Liberation Sans", "Bold"))), copy);
}

TEST(Fonts, ScenesKeepAFontByFamilyAndStyleNotByFile) {
  BaseDocument* doc = BaseDocument::Alloc();
  BaseObject* text = BaseObject::Alloc(Osplinetext);
  ASSERT_NE(text, nullptr);
  doc->InsertObject(text, nullptr, nullptr);
  const FontData bold(FontDescriptionFor("Liberation Sans", "Bold"));
  text->GetDataInstance()->SetData(PRIM_TEXT_FONT, GeData(bold));

  const std::string saved = SceneToJson(doc);
  EXPECT_NE(saved.find(R"("2117": {"font": {"family": "Liberation Sans", "style": "Bold"}})"), std::string::npos)
      << saved;
  EXPECT_EQ(saved.find(".ttf"), std::string::npos) << saved;
  BaseDocument::Free(doc);

  SceneError error;
  doc = SceneFromJson(saved, "fonts.json", &error);
  ASSERT_NE(doc, nullptr) << error.Format().GetStd();
  const FontData* loaded = doc->GetFirstObject()->GetDataInstance()->GetCustomData<FontData>(PRIM_TEXT_FONT);
  ASSERT_NE(loaded, nullptr);
  EXPECT_TRUE(loaded->IsEqual(bold));  // found installed again, file and all
  BaseDocument::Free(doc);

  // A face this machine lacks keeps its names, so saving again does not lose the choice.
  const char* elsewhere = R"({"vantelle_scene": 1, "objects": [{"type": "Osplinetext",
    "parameters": {"2117": {"font": {"family": "No Such Family", "style": "Oblique"}}}}]})";
  doc = SceneFromJson(elsewhere, "elsewhere.json", &error);
  ASSERT_NE(doc, nullptr) << error.Format().GetStd();
  const FontData* missing = doc->GetFirstObject()->GetDataInstance()->GetCustomData<FontData>(PRIM_TEXT_FONT);
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(missing->GetFont().GetString(FONTDESC_FAMILY), String("No Such Family"));
  EXPECT_EQ(missing->GetFont().GetString(FONTDESC_FILE), String());
  EXPECT_NE(SceneToJson(doc).find(R"("family": "No Such Family")"), std::string::npos);
  BaseDocument::Free(doc);

  const char* bad = R"({"vantelle_scene": 1, "objects": [{"type": "Osplinetext",
    "parameters": {"2117": {"font": {"family": 3}}}}]})";
  EXPECT_EQ(SceneFromJson(bad, "bad.json", &error), nullptr);
  EXPECT_EQ(error.line, 2);
  EXPECT_NE(error.message.GetStd().find("2117"), std::string::npos) << error.message.GetStd();
}

TEST(Fonts, WithoutAnyFontTextStaysEmptyAndOneWarningIsGiven) {
  SetFontCatalog(std::make_unique<NoFonts>());
  BaseContainer list;
  list.SetInt32(1, 1);
  EXPECT_TRUE(GeClipMap::EnumerateFonts(&list, 0));
  EXPECT_EQ(list.GetCount(), 0);
  BaseContainer none;
  EXPECT_FALSE(GeClipMap::GetDefaultFont(GE_FONT_DEFAULT_SYSTEM, &none));

  BaseDocument* doc = BaseDocument::Alloc();
  BaseObject* extrude = BaseObject::Alloc(Oextrude);
  doc->InsertObject(extrude, nullptr, nullptr);
  for (const char* words : {"-180.0", "Formula: Sin(x)"}) {
    BaseObject* text = BaseObject::Alloc(Osplinetext);
    text->GetDataInstance()->SetString(PRIM_TEXT_TEXT, words);
    text->InsertUnderLast(extrude);
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(extrude->GetDown()->GetRad(), Vector());
  ExecutePasses(doc);
  ExecutePasses(doc);
  const std::string warnings = testing::internal::GetCapturedStderr();
  SetFontCatalog(nullptr);

  for (BaseObject* text = extrude->GetDown(); text != nullptr; text = text->GetNext()) {
    ASSERT_NE(text->GetCache(), nullptr);
    EXPECT_EQ(static_cast<SplineObject*>(text->GetCache())->GetPointCount(), 0);
  }
  ASSERT_NE(extrude->GetCache(), nullptr);
  EXPECT_EQ(static_cast<PolygonObject*>(extrude->GetCache())->GetPolygonCount(), 0);
  EXPECT_EQ(warnings,
            "vantelle: warning: no font is installed, so text objects stay empty (install one, on Debian for "
            "instance fonts-liberation2 and fontconfig)\n");
  BaseDocument::Free(doc);
}

}  // namespace
