#include "plot/surfo_parameters.h"

namespace vantelle {

PlotParameters PlotParameters::Defaults() {
  PlotParameters p;
  p.preset = 0;
  p.resolution = 50;
  p.pointStyle = SURFO_POINTSTYLE_DOT;
  p.size = 200.0;
  p.scalePos = 1.0;
  p.halfHeight = 25.0;
  p.scaleNeg = 1.0;
  p.pointSize = 1.0;
  p.zMin = -180.0;
  p.zMax = 180.0;
  p.xMin = -180.0;
  p.xMax = 180.0;
  p.colorMode = SURFO_COLORMODE_GRADIENT;
  p.heightMode = SURFO_HEIGHTMODE_FIT;
  p.useZRange = false;
  p.animate = true;
  p.gradientAbs = false;
  p.color = Vector(1.0, 1.0, 1.0);
  p.formula = kDefaultFormula;
  return p;
}

std::unique_ptr<Gradient> MakeDefaultGradient() {
  std::unique_ptr<Gradient> gradient = Gradient::Alloc();
  if (!gradient) {
    return nullptr;
  }
  gradient->SetData(GRADIENT_MODE, GeData(Int32(0)));
  const Vector colours[] = {{0.0, 0.0, 1.0}, {0.0, 1.0, 0.0}, {1.0, 0.0, 0.0}};
  const Float positions[] = {0.0, 0.5, 1.0};
  for (int i = 0; i < 3; ++i) {
    GradientKnot knot;
    knot.col = colours[i];
    knot.pos = positions[i];
    knot.brightness = 1.0;
    knot.bias = 0.5;
    knot.index = 0;
    knot.interpolation = GRADIENT_INTERPOLATION_SMOOTH;
    gradient->InsertKnot(knot);
  }
  return gradient;
}

void ApplyDefaults(PlotParameters& params, BaseContainer& bc) {
  params = PlotParameters::Defaults();
  if (std::unique_ptr<Gradient> gradient = MakeDefaultGradient()) {
    bc.SetData(SURFO_GRADIENT, GeData(*gradient));
  }
  // This order is the order in which a new plot's container lists its parameters.
  bc.SetInt32(SURFO_PRESET, params.preset);
  bc.SetInt32(SURFO_RESOLUTION, params.resolution);
  bc.SetFloat(SURFO_SIZE, params.size);
  bc.SetFloat(SURFO_HEIGHT, 2.0 * params.halfHeight);
  bc.SetInt32(SURFO_HEIGHTMODE, params.heightMode);
  bc.SetString(SURFO_FORMULA, params.formula);
  bc.SetBool(SURFO_ANIMATE, params.animate);
  bc.SetFloat(SURFO_SCALEPOS, params.scalePos);
  bc.SetFloat(SURFO_SCALENEG, params.scaleNeg);
  bc.SetBool(SURFO_USEZRANGE, params.useZRange);
  bc.SetFloat(SURFO_XMIN, params.xMin);
  bc.SetFloat(SURFO_XMAX, params.xMax);
  bc.SetFloat(SURFO_ZMIN, params.zMin);
  bc.SetFloat(SURFO_ZMAX, params.zMax);
  bc.SetInt32(SURFO_COLORMODE, params.colorMode);
  bc.SetVector(SURFO_COLOR, params.color);
  bc.SetInt32(SURFO_POINTSTYLE, params.pointStyle);
  bc.SetFloat(SURFO_POINTSIZE, params.pointSize);
  bc.SetBool(SURFO_GRADIENTABS, params.gradientAbs);
}

PlotParameters ReadParameters(const BaseContainer& bc) {
  PlotParameters p;
  p.preset = bc.GetInt32(SURFO_PRESET);
  p.resolution = bc.GetInt32(SURFO_RESOLUTION);
  p.pointStyle = bc.GetInt32(SURFO_POINTSTYLE);
  p.pointSize = bc.GetFloat(SURFO_POINTSIZE);
  p.colorMode = bc.GetInt32(SURFO_COLORMODE);
  p.heightMode = bc.GetInt32(SURFO_HEIGHTMODE);
  p.size = bc.GetFloat(SURFO_SIZE);
  p.halfHeight = bc.GetFloat(SURFO_HEIGHT) * 0.5;
  p.scalePos = bc.GetFloat(SURFO_SCALEPOS);
  p.scaleNeg = bc.GetFloat(SURFO_SCALENEG);
  p.xMin = bc.GetFloat(SURFO_XMIN);
  p.xMax = bc.GetFloat(SURFO_XMAX);
  p.zMin = bc.GetFloat(SURFO_ZMIN);
  p.zMax = bc.GetFloat(SURFO_ZMAX);
  p.useZRange = bc.GetBool(SURFO_USEZRANGE);
  p.animate = bc.GetBool(SURFO_ANIMATE);
  p.gradientAbs = bc.GetBool(SURFO_GRADIENTABS);
  p.color = bc.GetVector(SURFO_COLOR);
  p.formula = bc.GetString(SURFO_FORMULA);
  return p;
}

}  // namespace vantelle
