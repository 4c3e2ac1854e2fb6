#include "host/files/font_catalog.h"

#include <atomic>
#include <filesystem>
#include <iostream>
#include <mutex>

#include "host/core/font_data.h"
#include "host/files/files.h"

namespace {

struct CatalogSlot {
  std::mutex mutex;
  std::unique_ptr<FontCatalog> installed;
  std::unique_ptr<FontCatalog> system;
};

CatalogSlot& Slot() {
  static CatalogSlot slot;
  return slot;
}

std::atomic<bool> g_warnedNoFont{false};

void WarnNoFontOnce() {
  if (!g_warnedNoFont.exchange(true)) {
    std::cerr << "vantelle: warning: no font is installed, so text objects stay empty "
                 "(install one, on Debian for instance fonts-liberation2 and fontconfig)\n";
  }
}

bool IsRegularFile(const String& path) {
  std::error_code ec;
  return path.IsPopulated() && std::filesystem::is_regular_file(PathFromUtf8(path.GetStd()), ec);
}

}  // namespace

FontCatalog& GetFontCatalog() {
  CatalogSlot& slot = Slot();
  const std::lock_guard lock(slot.mutex);
  if (slot.installed) {
    return *slot.installed;
  }
  if (!slot.system) {
    slot.system = MakeSystemFontCatalog();
  }
  return *slot.system;
}

void SetFontCatalog(std::unique_ptr<FontCatalog> catalog) {
  CatalogSlot& slot = Slot();
  const std::lock_guard lock(slot.mutex);
  slot.installed = std::move(catalog);
  g_warnedNoFont = false;
}

String ComposeDisplayName(const String& family, const String& style) {
  for (const char* plain : {"", "Regular", "Book", "Normal", "Roman", "Standard"}) {
    if (style == String(plain)) {
      return family;
    }
  }
  return family.IsEmpty() ? style : family + String(" ") + style;
}

BaseContainer FontDescription(const FontFace& face) {
  BaseContainer bc;
  bc.SetString(FONTDESC_FAMILY, face.family);
  bc.SetString(FONTDESC_STYLE, face.style);
  bc.SetString(FONTDESC_NAME, face.displayName);
  bc.SetString(FONTDESC_FILE, face.file);
  bc.SetInt32(FONTDESC_INDEX, face.index);
  return bc;
}

BaseContainer FontDescriptionFor(const String& family, const String& style) {
  for (const FontFace& face : GetFontCatalog().ListFaces()) {
    if (face.family == family && face.style == style) {
      return FontDescription(face);
    }
  }
  BaseContainer bc;
  bc.SetString(FONTDESC_FAMILY, family);
  bc.SetString(FONTDESC_STYLE, style);
  return bc;
}

std::optional<FontFace> ResolveFontFace(const BaseContainer* description) {
  std::optional<FontFace> face;
  if (description != nullptr && description->GetCount() > 0) {
    const String file = description->GetString(FONTDESC_FILE);
    const String family = description->GetString(FONTDESC_FAMILY);
    const String style = description->GetString(FONTDESC_STYLE);
    if (IsRegularFile(file)) {
      face = FontFace{family, style, description->GetString(FONTDESC_NAME, ComposeDisplayName(family, style)), file,
                      description->GetInt32(FONTDESC_INDEX)};
    } else if (family.IsPopulated() || style.IsPopulated()) {
      face = GetFontCatalog().Match(family, style);
    }
  }
  if (!face) {
    face = GetFontCatalog().DefaultFace();
  }
  if (!face) {
    WarnNoFontOnce();
  }
  return face;
}
