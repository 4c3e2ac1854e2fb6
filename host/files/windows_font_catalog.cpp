// The font catalog of Windows: the font files of the system's Fonts folder and of the
// user's own (fonts installed for one user), read with FreeType, the library that later
// draws their outlines. Names are the fonts' own English names, as fontconfig gives them
// elsewhere, so a scene names its fonts alike on every system.
//
// The host's headers come before <windows.h>, whose type names (INT32, FLOAT) would
// otherwise be shadowed by the host's own.
#include "host/files/files.h"
#include "host/files/font_catalog.h"

#include <windows.h>
#include <shlobj.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H

#include <algorithm>
#include <array>
#include <cwctype>
#include <filesystem>
#include <map>
#include <mutex>
#include <utility>

#include "host/system/windows_text.h"

namespace {

namespace fs = std::filesystem;

// Families that stand in for one another, as Windows and fontconfig substitute them: the
// metric-compatible Liberation and Croscore fonts for Microsoft's core fonts, and the
// core fonts for the names other systems use.
const std::array<std::pair<const char*, std::array<const char*, 3>>, 7> kSubstitutes = {{
    {"Arial", {"Liberation Sans", "Arimo", nullptr}},
    {"Helvetica", {"Arial", "Liberation Sans", "Arimo"}},
    {"sans-serif", {"Arial", "Liberation Sans", "Arimo"}},
    {"Times New Roman", {"Liberation Serif", "Tinos", nullptr}},
    {"serif", {"Times New Roman", "Liberation Serif", "Tinos"}},
    {"Courier New", {"Liberation Mono", "Cousine", nullptr}},
    {"monospace", {"Courier New", "Liberation Mono", "Cousine"}},
}};

fs::path KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  fs::path result;
  if (SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path) == S_OK) {
    result = fs::path(path);
  }
  CoTaskMemFree(path);
  return result;
}

std::vector<fs::path> FontFolders() {
  std::vector<fs::path> folders;
  if (fs::path system = KnownFolder(FOLDERID_Fonts); !system.empty()) {
    folders.push_back(system);
  }
  if (fs::path local = KnownFolder(FOLDERID_LocalAppData); !local.empty()) {
    folders.push_back(local / L"Microsoft" / L"Windows" / L"Fonts");
  }
  return folders;
}

bool IsFontFile(const fs::path& file) {
  std::wstring extension = file.extension().wstring();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return extension == L".ttf" || extension == L".otf" || extension == L".ttc" || extension == L".otc";
}

// An English name from the font's name table (UTF-16BE on the Windows platform), or
// nothing.
String SfntName(FT_Face face, FT_UShort id) {
  const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
  for (FT_UInt i = 0; i < count; ++i) {
    FT_SfntName name;
    if (FT_Get_Sfnt_Name(face, i, &name) != 0 || name.name_id != id || name.platform_id != TT_PLATFORM_MICROSOFT ||
        name.language_id != TT_MS_LANGID_ENGLISH_UNITED_STATES) {
      continue;
    }
    std::wstring text;
    for (FT_UInt k = 0; k + 1 < name.string_len; k += 2) {
      text.push_back(static_cast<wchar_t>((name.string[k] << 8) | name.string[k + 1]));
    }
    return String(Utf8FromWide(text));
  }
  return String();
}

// The faces of one file: every face of a collection, each with outlines.
void ReadFaces(FT_Library library, const fs::path& file, std::vector<FontFace>& faces) {
  // FreeType opens files by their narrow name; the UTF-8 of the path is not that on
  // Windows, so the file is handed over as memory.
  std::string bytes;
  if (!ReadTextFile(Filename(file), bytes)) {
    return;
  }
  FT_Long count = 1;
  for (FT_Long index = 0; index < count; ++index) {
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(bytes.data()), static_cast<FT_Long>(bytes.size()),
                           index, &face) != 0) {
      return;
    }
    count = face->num_faces;
    if (FT_IS_SCALABLE(face) && face->family_name != nullptr) {
      FontFace entry;
      entry.family = SfntName(face, TT_NAME_ID_FONT_FAMILY);
      if (entry.family.IsEmpty()) {
        entry.family = String(face->family_name);
      }
      entry.style = SfntName(face, TT_NAME_ID_FONT_SUBFAMILY);
      if (entry.style.IsEmpty() && face->style_name != nullptr) {
        entry.style = String(face->style_name);
      }
      entry.displayName = SfntName(face, TT_NAME_ID_FULL_NAME);
      if (entry.displayName.IsEmpty()) {
        entry.displayName = ComposeDisplayName(entry.family, entry.style);
      }
      entry.file = String(Utf8FromPath(file));
      entry.index = static_cast<Int32>(index);
      faces.push_back(std::move(entry));
    }
    FT_Done_Face(face);
  }
}

bool SameName(const String& a, const String& b) {
  return CompareStringOrdinal(WideFromUtf8(a.GetStd()).c_str(), -1, WideFromUtf8(b.GetStd()).c_str(), -1, TRUE) ==
         CSTR_EQUAL;
}

bool IsPlainStyle(const String& style) { return ComposeDisplayName(String("x"), style) == String("x"); }

class WindowsFontCatalog final : public FontCatalog {
public:
  std::vector<FontFace> ListFaces() override {
    const std::lock_guard lock(mutex_);
    return Faces();
  }

  std::optional<FontFace> Match(const String& family, const String& style) override {
    const std::lock_guard lock(mutex_);
    const auto key = std::make_pair(family.GetStd(), style.GetStd());
    if (const auto found = matches_.find(key); found != matches_.end()) {
      return found->second;
    }
    std::optional<FontFace> face = Find(family, style, 0);
    matches_.emplace(key, face);
    return face;
  }

  std::optional<FontFace> DefaultFace() override { return Match(String("sans-serif"), String()); }

private:
  const std::vector<FontFace>& Faces() {
    if (!listed_) {
      FT_Library library = nullptr;
      if (FT_Init_FreeType(&library) == 0) {
        for (const fs::path& folder : FontFolders()) {
          std::error_code ec;
          for (const auto& entry : fs::directory_iterator(folder, ec)) {
            if (entry.is_regular_file(ec) && IsFontFile(entry.path())) {
              ReadFaces(library, entry.path(), faces_);
            }
          }
        }
        FT_Done_FreeType(library);
      }
      std::sort(faces_.begin(), faces_.end(), [](const FontFace& a, const FontFace& b) {
        return std::tie(a.family, a.style, a.file, a.index) < std::tie(b.family, b.style, b.file, b.index);
      });
      listed_ = true;
    }
    return faces_;
  }

  // The family's face in `style`, else its plain face, else its first; then the
  // family's substitutes; with no family at all, the default.
  std::optional<FontFace> Find(const String& family, const String& style, int depth) {
    const std::vector<FontFace>& faces = Faces();
    if (faces.empty()) {
      return std::nullopt;
    }
    const FontFace* plain = nullptr;
    const FontFace* first = nullptr;
    for (const FontFace& face : faces) {
      if (!SameName(face.family, family)) {
        continue;
      }
      if (style.IsPopulated() && SameName(face.style, style)) {
        return face;
      }
      if (plain == nullptr && IsPlainStyle(face.style)) {
        plain = &face;
      }
      if (first == nullptr) {
        first = &face;
      }
    }
    if (plain != nullptr || first != nullptr) {
      return plain != nullptr ? *plain : *first;
    }
    if (depth < 2) {
      for (const auto& [name, substitutes] : kSubstitutes) {
        if (!SameName(String(name), family)) {
          continue;
        }
        for (const char* substitute : substitutes) {
          if (substitute != nullptr) {
            if (std::optional<FontFace> face = Find(String(substitute), style, depth + 1)) {
              return face;
            }
          }
        }
      }
    }
    if (depth > 0) {
      return std::nullopt;
    }
    // Nothing named so: the system's message font, as dialogs show text, else the first face.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) != 0) {
      const String message(Utf8FromWide(metrics.lfMessageFont.lfFaceName));
      if (!SameName(message, family)) {
        if (std::optional<FontFace> face = Find(message, String(), 1)) {
          return face;
        }
      }
    }
    return faces.front();
  }

  std::mutex mutex_;
  bool listed_ = false;
  std::vector<FontFace> faces_;
  std::map<std::pair<std::string, std::string>, std::optional<FontFace>> matches_;
};

}  // namespace

std::unique_ptr<FontCatalog> MakeSystemFontCatalog() { return std::make_unique<WindowsFontCatalog>(); }
