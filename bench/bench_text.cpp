#include <benchmark/benchmark.h>

#include "host/files/font_catalog.h"
#include "host/geometry/extrusion.h"
#include "host/geometry/text_layout.h"

namespace {

// The legend of a default plot, as the labels component builds it: 24 glyphs in the
// default label font, 7 units tall, extruded 0.1 deep. Each round lays the text out
// (shaping, placing the glyphs' outlines) and builds the closed solid (caps with their
// holes, walls). Glyph outlines are read from the font once and kept, as the host keeps
// them for every later label.
void BM_TextExtrude(benchmark::State& state) {
  const BaseContainer font = FontDescriptionFor("Liberation Sans", "Regular");
  const std::optional<FontFace> face = ResolveFontFace(&font);
  if (!face) {
    state.SkipWithError("no font installed");
    return;
  }
  std::size_t polygons = 0;
  for (auto _ : state) {
    const std::optional<TextLayout> layout = LayOutText(*face, "Formula: Sin(x) * Cos(z)", 7.0, TEXT_ALIGN_MIDDLE);
    std::vector<ExtrusionOutlines> inputs(1);
    inputs[0].closed = layout->contours;
    PolygonObject* solid = ExtrudeOutlines(inputs, Vector(0.0, 0.0, 0.1));
    polygons = static_cast<std::size_t>(solid->GetPolygonCount());
    BaseObject* done = solid;
    BaseObject::Free(done);
  }
  state.counters["polygons"] = static_cast<double>(polygons);
}
BENCHMARK(BM_TextExtrude)->Unit(benchmark::kMillisecond);

}  // namespace
