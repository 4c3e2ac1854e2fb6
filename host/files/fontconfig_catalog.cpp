// The font catalog of systems that have fontconfig (Linux and most other Unix systems).
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "host/files/font_catalog.h"

namespace {

String PatternString(FcPattern* pattern, const char* object) {
  FcChar8* value = nullptr;
  // Index 0 is the name the font gives first: its own family, not a localised alias.
  if (FcPatternGetString(pattern, object, 0, &value) == FcResultMatch && value != nullptr) {
    return String(reinterpret_cast<const char*>(value));
  }
  return String();
}

// The face a pattern describes; nothing when it names no file (what fontconfig answers
// when no font is installed).
std::optional<FontFace> FaceOf(FcPattern* pattern) {
  FontFace face;
  face.file = PatternString(pattern, FC_FILE);
  if (face.file.IsEmpty()) {
    return std::nullopt;
  }
  face.family = PatternString(pattern, FC_FAMILY);
  face.style = PatternString(pattern, FC_STYLE);
  face.displayName = PatternString(pattern, FC_FULLNAME);
  if (face.displayName.IsEmpty()) {
    face.displayName = ComposeDisplayName(face.family, face.style);
  }
  int index = 0;
  if (FcPatternGetInteger(pattern, FC_INDEX, 0, &index) == FcResultMatch) {
    face.index = index;
  }
  return face;
}

class FontconfigCatalog final : public FontCatalog {
public:
  FontconfigCatalog() : config_(FcInitLoadConfigAndFonts()) {}
  ~FontconfigCatalog() override {
    if (config_ != nullptr) {
      FcConfigDestroy(config_);
    }
  }
  FontconfigCatalog(const FontconfigCatalog&) = delete;
  FontconfigCatalog& operator=(const FontconfigCatalog&) = delete;

  std::vector<FontFace> ListFaces() override {
    const std::lock_guard lock(mutex_);
    if (!listed_) {
      faces_ = List();
      listed_ = true;
    }
    return faces_;
  }

  std::optional<FontFace> Match(const String& family, const String& style) override {
    const std::lock_guard lock(mutex_);
    const auto key = std::make_pair(family.GetStd(), style.GetStd());
    if (const auto found = matches_.find(key); found != matches_.end()) {
      return found->second;
    }
    std::optional<FontFace> face = Find(family, style);
    matches_.emplace(key, face);
    return face;
  }

  std::optional<FontFace> DefaultFace() override { return Match(String("sans-serif"), String()); }

private:
  std::vector<FontFace> List() const {
    std::vector<FontFace> faces;
    if (config_ == nullptr) {
      return faces;
    }
    FcPattern* pattern = FcPatternCreate();
    // Bitmap fonts have no outlines to build text from.
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FULLNAME, FC_FILE, FC_INDEX, nullptr);
    FcFontSet* set = objects != nullptr ? FcFontList(config_, pattern, objects) : nullptr;
    if (set != nullptr) {
      for (int i = 0; i < set->nfont; ++i) {
        if (std::optional<FontFace> face = FaceOf(set->fonts[i])) {
          faces.push_back(std::move(*face));
        }
      }
      FcFontSetDestroy(set);
    }
    if (objects != nullptr) {
      FcObjectSetDestroy(objects);
    }
    FcPatternDestroy(pattern);
    // fontconfig lists in no particular order; users and tests see the same list twice.
    std::sort(faces.begin(), faces.end(), [](const FontFace& a, const FontFace& b) {
      return std::tie(a.family, a.style, a.file, a.index) < std::tie(b.family, b.style, b.file, b.index);
    });
    return faces;
  }

  std::optional<FontFace> Find(const String& family, const String& style) const {
    if (config_ == nullptr) {
      return std::nullopt;
    }
    FcPattern* pattern = FcPatternCreate();
    if (family.IsPopulated()) {
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    }
    if (style.IsPopulated()) {
      FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>(style.c_str()));
    }
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(config_, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config_, pattern, &result);
    std::optional<FontFace> face;
    if (match != nullptr) {
      face = FaceOf(match);
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return face;
  }

  FcConfig* config_;
  std::mutex mutex_;
  bool listed_ = false;
  std::vector<FontFace> faces_;
  std::map<std::pair<std::string, std::string>, std::optional<FontFace>> matches_;
};

}  // namespace

std::unique_ptr<FontCatalog> MakeSystemFontCatalog() { return std::make_unique<FontconfigCatalog>(); }
