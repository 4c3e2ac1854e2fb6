// The plot's commands: what arrives through Message when the user edits a parameter,
// presses a button or switches the plot on or off.
#include <array>

#include "host/document.h"
#include "plot/surfo_object.h"

namespace vantelle {

namespace {

inline constexpr std::array<const char*, 11> kPresetFormulas = {
    "Sin(x) * Cos(z)",
    "x^3 * Sin(z * 10)",
    "x * x * z",
    "Tan(x) * Atan(z)",
    "Pow(Sin(x); 3)",
    "(x * x) / (z * z)",
    "Pow((x * x) + (z * z); 0.5)",
    "Cos(Abs(x) + Abs(z))",
    "Log(x)",
    "x * Cos(z)",
    "Sin(Sqrt((x * x) + (z * z)))",
};

Bool IsColourParameter(Int32 id) {
  return id == SURFO_COLORMODE || id == SURFO_COLOR || id == SURFO_GRADIENT || id == SURFO_GRADIENTABS;
}

}  // namespace

void SurfoObject::Reset(BaseContainer& bc) {
  ApplyDefaults(params_, bc);
  plot_.resolution = params_.resolution;
}

void SurfoObject::ApplyPreset(BaseContainer& bc) {
  const Int32 preset = bc.GetInt32(SURFO_PRESET);
  params_.formula = bc.GetString(SURFO_FORMULA);
  if (preset >= 0 && preset < static_cast<Int32>(kPresetFormulas.size())) {
    params_.formula = String(kPresetFormulas[static_cast<std::size_t>(preset)]);
  }
  bc.SetString(SURFO_FORMULA, params_.formula);
}

Bool SurfoObject::Message(GeListNode* node, Int32 type, void* data) {
  auto* op = dynamic_cast<BaseObject*>(node);
  if (op != nullptr) {
    BaseContainer& bc = *op->GetDataInstance();
    switch (type) {
      case MSG_DESCRIPTION_POSTSETPARAMETER: {
        const auto* notice = static_cast<const DescriptionPostSetValue*>(data);
        const Int32 id = notice != nullptr && notice->descid != nullptr ? (*notice->descid)[0].id : 0;
        if (IsColourParameter(id)) {
          Recolour(bc, op, op->GetDocument());
        } else if (id == SURFO_PRESET) {
          ApplyPreset(bc);
        }
        break;
      }
      case MSG_DESCRIPTION_COMMAND: {
        const auto* command = static_cast<const DescriptionCommand*>(data);
        const Int32 id = command != nullptr ? command->id[0].id : 0;
        if (id == SURFO_RESET) {
          Reset(bc);
        }
        break;
      }
      case MSG_HOST_QUERY_STATE:
        if (auto* state = static_cast<BaseContainer*>(data)) {
          state->SetInt64(STATE_SAMPLE_COUNT, static_cast<Int64>(plot_.samples.size()));
          state->SetInt32(STATE_RESOLUTION, plot_.resolution);
          state->SetFloat(STATE_MIN_VALUE, plot_.minValue);
          state->SetFloat(STATE_MAX_VALUE, plot_.maxValue);
          state->SetBool(STATE_USES_TIME, plot_.usesTime);
          state->SetBool(STATE_COMPLETE, plot_.IsComplete());
        }
        break;
      case MSG_DEFORMMODE_CHANGED:
        EmptySamples();
        op->Message(MSG_UPDATE);
        EventAdd(EVENT::NONE);
        break;
      default:
        break;
    }
  }
  return ObjectData::Message(node, type, data);
}

}  // namespace vantelle
