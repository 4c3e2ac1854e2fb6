// The plot object's parameters: their IDs, the instance's copies of them, the defaults,
// and reading them back from the container.
#pragma once

#include "host/core/container.h"
#include "host/core/gradient.h"

namespace vantelle {

inline constexpr Int32 SURFO_RESOLUTION = 10000;
inline constexpr Int32 SURFO_XMIN = 10002;
inline constexpr Int32 SURFO_XMAX = 10003;
inline constexpr Int32 SURFO_SIZE = 10004;
inline constexpr Int32 SURFO_HEIGHT = 10005;
inline constexpr Int32 SURFO_COLORMODE = 10007;
inline constexpr Int32 SURFO_GRADIENT = 10008;
inline constexpr Int32 SURFO_COLOR = 10009;
inline constexpr Int32 SURFO_SCALEPOS = 10010;
inline constexpr Int32 SURFO_SCALENEG = 10011;
inline constexpr Int32 SURFO_POINTSTYLE = 10012;
inline constexpr Int32 SURFO_FORMULA = 10013;
inline constexpr Int32 SURFO_ZMIN = 10014;
inline constexpr Int32 SURFO_ZMAX = 10015;
inline constexpr Int32 SURFO_USEZRANGE = 10016;
inline constexpr Int32 SURFO_HEIGHTMODE = 10017;
inline constexpr Int32 SURFO_ANIMATE = 10018;
inline constexpr Int32 SURFO_RESET = 10020;
inline constexpr Int32 SURFO_PRESET = 10025;
inline constexpr Int32 SURFO_GRADIENTABS = 10028;
inline constexpr Int32 SURFO_ADDCOMPONENT = 10029;
inline constexpr Int32 SURFO_POINTSIZE = 10030;
inline constexpr Int32 SURFO_MANUAL = 10032;
inline constexpr Int32 SURFO_INFO = 10033;

inline constexpr Int32 SURFO_COLORMODE_GRADIENT = 0;
inline constexpr Int32 SURFO_COLORMODE_SINGLE = 1;

inline constexpr Int32 SURFO_POINTSTYLE_DOT = 0;
inline constexpr Int32 SURFO_POINTSTYLE_SPHERE = 1;
inline constexpr Int32 SURFO_POINTSTYLE_CROSS = 2;

inline constexpr Int32 SURFO_HEIGHTMODE_FREE = 0;
inline constexpr Int32 SURFO_HEIGHTMODE_FIT = 1;
inline constexpr Int32 SURFO_HEIGHTMODE_CLIP = 2;

inline constexpr const char* kDefaultFormula = "Sin(x) * Cos(z)";

// The instance's copies of the valued parameters. The height is held as its half, b.
struct PlotParameters {
  Int32 preset = 0;
  Int32 resolution = 0;
  Int32 pointStyle = 0;
  Float pointSize = 0.0;
  Int32 colorMode = 0;
  Int32 heightMode = 0;
  Float size = 0.0;
  Float halfHeight = 0.0;
  Float scalePos = 0.0;
  Float scaleNeg = 0.0;
  Float xMin = 0.0;
  Float xMax = 0.0;
  Float zMin = 0.0;
  Float zMax = 0.0;
  Bool useZRange = false;
  Bool animate = false;
  Bool gradientAbs = false;
  Vector color;
  String formula;

  // The defaults of a new plot object.
  static PlotParameters Defaults();
};

// The blue, green, red gradient of a new plot, or null when it cannot be allocated.
std::unique_ptr<Gradient> MakeDefaultGradient();

// Writes every default into `params` and `bc`: the gradient first (left as it was when
// it cannot be allocated), then the other parameters, the height as 2 * b.
void ApplyDefaults(PlotParameters& params, BaseContainer& bc);

// Every parameter copy from the container, missing IDs read as zero values.
PlotParameters ReadParameters(const BaseContainer& bc);

}  // namespace vantelle
