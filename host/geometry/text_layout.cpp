#include "host/geometry/text_layout.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include <hb.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

namespace {

struct Point2 {
  Float x = 0.0;
  Float y = 0.0;
  bool operator==(const Point2&) const = default;
};

using Contour = std::vector<Point2>;

// The font's own flattened outline of one glyph, in font units.
struct GlyphOutline {
  std::vector<Contour> contours;
};

// Curves are split until the polygon stays within this share of the cap height of the
// true outline: invisible at any size, and a "0" gets some 40 points.
constexpr Float kFlatnessPerCapHeight = 1.0 / 500.0;
constexpr int kMaxCurveSteps = 64;

// A font file opened once for both libraries: HarfBuzz reads the same bytes FreeType does.
class LoadedFace {
public:
  static std::unique_ptr<LoadedFace> Open(FT_Library library, const FontFace& face) {
    auto loaded = std::unique_ptr<LoadedFace>(new LoadedFace());
    loaded->blob_ = hb_blob_create_from_file_or_fail(face.file.c_str());
    if (loaded->blob_ == nullptr || face.index < 0) {
      return nullptr;
    }
    unsigned int length = 0;
    const char* bytes = hb_blob_get_data(loaded->blob_, &length);
    if (bytes == nullptr || length == 0 ||
        FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(bytes), static_cast<FT_Long>(length), face.index,
                           &loaded->ft_) != 0) {
      loaded->ft_ = nullptr;
      return nullptr;
    }
    if (!FT_IS_SCALABLE(loaded->ft_) || loaded->ft_->units_per_EM == 0) {
      return nullptr;
    }
    hb_face_t* hbFace = hb_face_create(loaded->blob_, static_cast<unsigned int>(face.index));
    loaded->hb_ = hb_font_create(hbFace);  // scaled in font units, like the outlines
    hb_face_destroy(hbFace);
    loaded->MeasureFont();
    return loaded;
  }

  ~LoadedFace() {
    if (hb_ != nullptr) hb_font_destroy(hb_);
    if (ft_ != nullptr) FT_Done_Face(ft_);
    if (blob_ != nullptr) hb_blob_destroy(blob_);
  }
  LoadedFace(const LoadedFace&) = delete;
  LoadedFace& operator=(const LoadedFace&) = delete;

  hb_font_t* Font() const { return hb_; }
  Float CapHeight() const { return capHeight_; }
  Float LineSpacing() const { return lineSpacing_; }

  const GlyphOutline& Outline(unsigned int glyph) {
    const auto found = outlines_.find(glyph);
    if (found != outlines_.end()) {
      return found->second;
    }
    return outlines_.emplace(glyph, Decompose(glyph)).first->second;
  }

private:
  LoadedFace() = default;

  void MeasureFont() {
    const Float em = ft_->units_per_EM;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft_, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version >= 2 && os2->sCapHeight > 0) {
      capHeight_ = os2->sCapHeight;
    } else {
      // Older fonts do not say; their "H" shows it.
      const FT_UInt h = FT_Get_Char_Index(ft_, 'H');
      FT_BBox box{};
      if (h != 0 && FT_Load_Glyph(ft_, h, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) == 0 &&
          ft_->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
        FT_Outline_Get_CBox(&ft_->glyph->outline, &box);
      }
      capHeight_ = box.yMax > 0 ? static_cast<Float>(box.yMax) : 0.7 * em;
    }
    lineSpacing_ = ft_->height > 0 ? ft_->height : 1.2 * em;
    tolerance_ = capHeight_ * kFlatnessPerCapHeight;
  }

  struct Flattener {
    std::vector<Contour>* contours;
    Float tolerance;
    Point2 at;

    static Point2 P(const FT_Vector* v) { return {static_cast<Float>(v->x), static_cast<Float>(v->y)}; }
    void Add(const Point2& p) {
      Contour& c = contours->back();
      if (c.empty() || !(c.back() == p)) {
        c.push_back(p);
      }
      at = p;
    }
    // Steps that keep a curve whose second derivative reaches `bend` within tolerance.
    int Steps(Float bend) const {
      const Float steps = std::ceil(std::sqrt(bend / (8.0 * tolerance)));
      return std::isfinite(steps) ? static_cast<int>(std::clamp(steps, 1.0, Float(kMaxCurveSteps))) : 1;
    }
  };

  static int MoveTo(const FT_Vector* to, void* user) {
    auto* f = static_cast<Flattener*>(user);
    f->contours->emplace_back();
    f->Add(Flattener::P(to));
    return 0;
  }
  static int LineTo(const FT_Vector* to, void* user) {
    static_cast<Flattener*>(user)->Add(Flattener::P(to));
    return 0;
  }
  static int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* f = static_cast<Flattener*>(user);
    const Point2 p0 = f->at, c = Flattener::P(control), p1 = Flattener::P(to);
    const Float bend = 2.0 * std::hypot(p0.x - 2 * c.x + p1.x, p0.y - 2 * c.y + p1.y);
    const int n = f->Steps(bend);
    for (int i = 1; i <= n; ++i) {
      const Float t = Float(i) / n, s = 1.0 - t;
      f->Add({s * s * p0.x + 2 * s * t * c.x + t * t * p1.x, s * s * p0.y + 2 * s * t * c.y + t * t * p1.y});
    }
    return 0;
  }
  static int CubicTo(const FT_Vector* c1v, const FT_Vector* c2v, const FT_Vector* to, void* user) {
    auto* f = static_cast<Flattener*>(user);
    const Point2 p0 = f->at, c1 = Flattener::P(c1v), c2 = Flattener::P(c2v), p1 = Flattener::P(to);
    const Float bend = 6.0 * std::max(std::hypot(p0.x - 2 * c1.x + c2.x, p0.y - 2 * c1.y + c2.y),
                                      std::hypot(c1.x - 2 * c2.x + p1.x, c1.y - 2 * c2.y + p1.y));
    const int n = f->Steps(bend);
    for (int i = 1; i <= n; ++i) {
      const Float t = Float(i) / n, s = 1.0 - t;
      const Float a = s * s * s, b = 3 * s * s * t, d = 3 * s * t * t, e = t * t * t;
      f->Add({a * p0.x + b * c1.x + d * c2.x + e * p1.x, a * p0.y + b * c1.y + d * c2.y + e * p1.y});
    }
    return 0;
  }

  GlyphOutline Decompose(unsigned int glyph) const {
    GlyphOutline outline;
    if (FT_Load_Glyph(ft_, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0 ||
        ft_->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
      return outline;
    }
    FT_Outline_Funcs funcs{};
    funcs.move_to = MoveTo;
    funcs.line_to = LineTo;
    funcs.conic_to = ConicTo;
    funcs.cubic_to = CubicTo;
    Flattener flattener{&outline.contours, tolerance_, {}};
    if (FT_Outline_Decompose(&ft_->glyph->outline, &funcs, &flattener) != 0) {
      outline.contours.clear();
      return outline;
    }
    // Outlines close back onto their start; a loop needs no repeated point, nor a
    // contour too small to enclose anything.
    std::erase_if(outline.contours, [](Contour& c) {
      while (c.size() > 1 && c.back() == c.front()) {
        c.pop_back();
      }
      return c.size() < 3;
    });
    return outline;
  }

  hb_blob_t* blob_ = nullptr;
  FT_Face ft_ = nullptr;
  hb_font_t* hb_ = nullptr;
  Float capHeight_ = 0.0;
  Float lineSpacing_ = 0.0;
  Float tolerance_ = 1.0;
  std::unordered_map<unsigned int, GlyphOutline> outlines_;
};

// The open faces of the process, with their flattened glyphs, kept for the next layout.
class FaceCache {
public:
  static FaceCache& Get() {
    static FaceCache cache;
    return cache;
  }

  std::mutex& Mutex() { return mutex_; }

  // Null when the file is not an outline font. The caller holds the mutex.
  LoadedFace* Find(const FontFace& face) {
    if (library_ == nullptr) {
      return nullptr;
    }
    const auto key = std::make_pair(face.file.GetStd(), face.index);
    if (const auto found = faces_.find(key); found != faces_.end()) {
      return found->second.get();
    }
    // A scene uses a few faces; one that reads many more (a font browser) need not keep
    // them all open.
    if (faces_.size() >= kMaxOpenFaces) {
      faces_.clear();
    }
    return faces_.emplace(key, LoadedFace::Open(library_, face)).first->second.get();
  }

private:
  static constexpr std::size_t kMaxOpenFaces = 16;

  FaceCache() {
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
    }
  }
  ~FaceCache() {
    faces_.clear();
    if (library_ != nullptr) {
      FT_Done_FreeType(library_);
    }
  }

  std::mutex mutex_;
  FT_Library library_ = nullptr;
  std::map<std::pair<std::string, Int32>, std::unique_ptr<LoadedFace>> faces_;
};

// The text's lines with line breaks taken out, tabs as spaces and other control
// characters dropped. UTF-8 never uses bytes below 0x20 inside a character, so this is
// safe byte by byte.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
      lines.emplace_back();
    } else if (c == '\t') {
      lines.back() += ' ';
    } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) {
      lines.back() += c;
    }
  }
  return lines;
}

}  // namespace

std::size_t TextLayout::PointCount() const {
  std::size_t count = 0;
  for (const auto& c : contours) {
    count += c.size();
  }
  return count;
}

std::optional<TextLayout> LayOutText(const FontFace& face, std::string_view text, Float height, Int32 align) {
  FaceCache& cache = FaceCache::Get();
  const std::lock_guard lock(cache.Mutex());
  LoadedFace* font = cache.Find(face);
  if (font == nullptr) {
    return std::nullopt;
  }
  TextLayout layout;
  if (!(height > 0.0) || !std::isfinite(height) || text.empty()) {
    return layout;
  }
  const Float scale = height / font->CapHeight();
  const std::vector<std::string> lines = SplitLines(text);
  hb_buffer_t* buffer = hb_buffer_create();
  bool finite = true;
  for (std::size_t line = 0; line < lines.size(); ++line) {
    const std::string& chars = lines[line];
    if (chars.empty()) {
      continue;
    }
    hb_buffer_clear_contents(buffer);
    const int length = static_cast<int>(std::min<std::size_t>(chars.size(), INT_MAX));
    hb_buffer_add_utf8(buffer, chars.data(), length, 0, length);
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(font->Font(), buffer, nullptr, 0);
    unsigned int count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);

    Float advance = 0.0;
    for (unsigned int i = 0; i < count; ++i) {
      advance += positions[i].x_advance;
    }
    Float start = 0.0;
    if (align == TEXT_ALIGN_MIDDLE) {
      start = -0.5 * advance;
    } else if (align == TEXT_ALIGN_RIGHT) {
      start = -advance;
    }
    const Float baseline = -static_cast<Float>(line) * font->LineSpacing();
    Float pen = start;
    for (unsigned int i = 0; i < count; ++i) {
      const Float ox = pen + positions[i].x_offset;
      const Float oy = baseline + positions[i].y_offset;
      pen += positions[i].x_advance;
      for (const Contour& contour : font->Outline(infos[i].codepoint).contours) {
        std::vector<Vector>& out = layout.contours.emplace_back();
        out.reserve(contour.size());
        for (const Point2& p : contour) {
          const Vector v((ox + p.x) * scale, (oy + p.y) * scale, 0.0);
          finite = finite && std::isfinite(v.x) && std::isfinite(v.y);
          out.push_back(v);
        }
      }
    }
  }
  hb_buffer_destroy(buffer);
  if (!finite) {
    return TextLayout{};
  }
  bool first = true;
  for (const auto& contour : layout.contours) {
    for (const Vector& p : contour) {
      if (first) {
        layout.min = layout.max = p;
        first = false;
      }
      layout.min = {std::min(layout.min.x, p.x), std::min(layout.min.y, p.y), 0.0};
      layout.max = {std::max(layout.max.x, p.x), std::max(layout.max.y, p.y), 0.0};
    }
  }
  return layout;
}
