// The plot's commands: what arrives through Message when the user edits a parameter,
// presses a button or switches the plot on or off.
#include <algorithm>
#include <array>
#include <cmath>

#include "common/type_ids.h"
#include "host/scene/document.h"
#include "host/scene/plugin_glue.h"
#include "host/ui/dialogs.h"
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

// Component kinds of SURFO_ADDCOMPONENT, in the order of its popup.
inline constexpr std::array<Int32, 4> kComponentTypes = {Osurfomesh, Osurfogrid, Osurfocage, Osurfolabel};

inline constexpr const char* kAnotherComponentQuestion =
    "A component of this type already exists. Do you want to add another one?";

// Set on the plot when a component was added from it.
inline constexpr Int32 kComponentAddedBit = 14;

Bool IsColourParameter(Int32 id) {
  return id == SURFO_COLORMODE || id == SURFO_COLOR || id == SURFO_GRADIENT || id == SURFO_GRADIENTABS;
}

}  // namespace

void SurfoObject::AddComponent(BaseObject* op) {
  const Int32 kind = op->GetDataInstance()->GetInt32(SURFO_ADDCOMPONENT);
  if (kind < 0 || kind >= static_cast<Int32>(kComponentTypes.size())) {
    return;
  }
  const Int32 type = kComponentTypes[static_cast<std::size_t>(kind)];
  if (FindComponent(op, type) != nullptr && !QuestionDialog(String(kAnotherComponentQuestion))) {
    return;
  }
  BaseObject* component = BaseObject::Alloc(type);
  if (component == nullptr) {
    return;
  }
  component->InsertUnder(op);
  component->Message(MSG_MENUPREPARE, op->GetDocument());
  op->ChangeNBit(kComponentAddedBit, NBIT_CONTROL_SET);
}

void SurfoObject::OpenManual() {
  // Written with a backslash on every system; the host's file names treat it as a
  // separator wherever that is not the system's own.
  const String path = GeGetPluginPath().GetString() + String("\\Vantelle.pdf");
  GeExecuteFile(Filename(path));
}

void SurfoObject::Reset(BaseContainer& bc) {
  ApplyDefaults(params_, bc);
  plot_.resolution = params_.resolution;
  // Colours follow once the next pass has rescaled the samples to the restored height.
  recolourPending_ = true;
}

void SurfoObject::DescribeState(BaseContainer& state) const {
  state.SetInt64(STATE_SAMPLE_COUNT, static_cast<Int64>(plot_.samples.size()));
  state.SetInt32(STATE_RESOLUTION, plot_.resolution);
  state.SetFloat(STATE_MIN_VALUE, plot_.minValue);
  state.SetFloat(STATE_MAX_VALUE, plot_.maxValue);
  state.SetBool(STATE_USES_TIME, plot_.usesTime);
  state.SetBool(STATE_COMPLETE, plot_.IsComplete());
  state.SetInt64(STATE_UNDEFINED_COUNT, undefinedSamples_);
  static constexpr const char* kPathNames[] = {"none", "compiled", "text"};
  state.SetString(STATE_EVALUATION, String(kPathNames[static_cast<int>(samplingPath_)]));
  // Counted once per change of the positions: the view asks after every pass.
  if (!nonFiniteCount_) {
    // Zero times a coordinate is NaN exactly when the coordinate is not finite.
    nonFiniteCount_ = static_cast<Int64>(std::count_if(plot_.samples.begin(), plot_.samples.end(), [](const PlotSample& s) {
      return std::isnan(s.position.x * 0.0 + s.position.y * 0.0 + s.position.z * 0.0);
    }));
  }
  state.SetInt64(STATE_NONFINITE_COUNT, *nonFiniteCount_);
  // The host's own wording, passed back to the host to show.
  if (formulaError_) {
    state.SetString(STATE_FORMULA_ERROR, formulaError_->reason);
    state.SetInt32(STATE_FORMULA_COLUMN, formulaError_->column);
    state.SetInt32(STATE_FORMULA_PARAMETER, SURFO_FORMULA);
  }
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
        switch (id) {
          case SURFO_RESET: Reset(bc); break;
          case SURFO_ADDCOMPONENT: AddComponent(op); break;
          case SURFO_MANUAL: OpenManual(); break;
          case SURFO_INFO: MessageDialog(GeLoadString(IDS_SURFO_INFO)); break;
          default: break;
        }
        break;
      }
      case MSG_HOST_QUERY_STATE:
        if (auto* state = static_cast<BaseContainer*>(data)) {
          DescribeState(*state);
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
