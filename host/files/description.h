// Descriptions: what parameters an object type has (ID, name, type, default, limits,
// popup entries, label), read from the module's description resources
// (res/description/<name>.json). The host uses them to name, validate and clamp what
// users type, and objects adjust their copy in GetDDescription.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/core/container.h"

class Filename;
class Gradient;

struct DescLevel {
  Int32 id = 0;
  Int32 dtype = 0;
  Int32 creator = 0;
  constexpr DescLevel() = default;
  constexpr DescLevel(Int32 i, Int32 t = 0, Int32 c = 0) : id(i), dtype(t), creator(c) {}  // NOLINT
  constexpr bool operator==(const DescLevel& o) const { return id == o.id; }
};

// A parameter ID of up to three levels; objects decide by the first level.
class DescID {
public:
  constexpr DescID() = default;
  constexpr DescID(Int32 id) : levels_{DescLevel(id)}, depth_(1) {}                         // NOLINT
  constexpr DescID(const DescLevel& l1) : levels_{l1}, depth_(1) {}                        // NOLINT
  constexpr DescID(const DescLevel& l1, const DescLevel& l2) : levels_{l1, l2}, depth_(2) {}

  constexpr Int32 GetDepth() const { return depth_; }
  // The level at `index`; a zero level outside the depth.
  constexpr const DescLevel& operator[](Int32 index) const {
    return index >= 0 && index < depth_ ? levels_[static_cast<std::size_t>(index)] : kEmpty;
  }
  constexpr bool operator==(const DescID& o) const {
    if (depth_ != o.depth_) return false;
    for (Int32 i = 0; i < depth_; ++i) {
      if (!(levels_[static_cast<std::size_t>(i)] == o.levels_[static_cast<std::size_t>(i)])) return false;
    }
    return true;
  }

private:
  static constexpr DescLevel kEmpty{};
  std::array<DescLevel, 3> levels_{};
  Int32 depth_ = 0;
};

enum class DescParamType { INT32, FLOAT, BOOL, STRING, VECTOR, COLOR, GRADIENT, FONT, BUTTON };

struct DescPopupEntry {
  Int32 value = 0;
  String label;
};

// One parameter of a description.
struct DescParameter {
  Int32 id = 0;
  String name;            // the ID's symbol, e.g. SURFO_RESOLUTION
  DescParamType type = DescParamType::INT32;
  String label;           // what the attribute editor shows
  String group;           // the group it is shown in
  GeData defaultValue;    // nil for buttons
  std::optional<Float> min;
  std::optional<Float> max;
  std::optional<Int32> maxLength;     // strings: the most characters a value may have
  std::vector<DescPopupEntry> popup;  // choices of an Int32 popup
  Bool command = false;   // choosing a value also presses it as a button
  Bool hide = false;
};

// A parsed description resource.
struct DescriptionResource {
  String resourceName;    // e.g. osurfo
  String typeName;        // e.g. Osurfo
  Int32 typeId = 0;
  std::vector<DescParameter> parameters;

  const DescParameter* FindById(Int32 id) const;
  const DescParameter* FindByName(std::string_view name) const;
};

// Parses a description resource. On failure returns nothing and sets *error to a message
// that names the problem (and the parameter where there is one).
std::optional<DescriptionResource> ParseDescriptionResource(std::string_view json, String* error);

// Type name of a parameter type as the resources spell it ("int32", "float", ...).
const char* DescParamTypeName(DescParamType type);

// Registers the resource `<resourceFolder>/description/<name>.json` for `typeId`.
// Fails (and registers nothing) when the file is missing or does not parse.
Bool RegisterDescription(Int32 typeId, const String& name, const Filename& resourceFolder, String* error = nullptr);
// The resource registered for a type, or null.
const DescriptionResource* FindDescriptionResource(Int32 typeId);
// Forgets every registered description (used when the host shuts down).
void FreeDescriptions();

// The description an object reports: a copy of its type's resource that the object's
// GetDDescription may adjust.
class Description {
public:
  // Loads the resource registered for `typeId`; false when there is none.
  Bool LoadDescription(Int32 typeId);
  Bool IsLoaded() const { return loaded_; }
  const DescriptionResource& GetResource() const { return resource_; }
  // The parameter with first-level ID `id`, or null.
  DescParameter* GetParameterI(const DescID& id);
  const DescParameter* GetParameterI(const DescID& id) const;

private:
  DescriptionResource resource_;
  Bool loaded_ = false;
};

// ---- Gradients as JSON text ----------------------------------------------------------
// The one text form of a gradient, shared by description defaults and scene files:
//   {"mode": 0, "knots": [{"color": [0, 0, 1], "position": 0, "brightness": 1,
//                          "bias": 0.5, "interpolation": 2, "index": 0}, ...]}
// "mode" (setting GRADIENT_MODE: 0 colour, 1 alpha, 2 colour and alpha) is stored only
// when present. Per knot, "color" and "position" (0..1) are required; brightness 1, bias
// 0.5 (0..1), interpolation 2 (one of the GRADIENT_INTERPOLATION_ codes) and index 0 are
// the defaults when omitted. Knots are inserted in list order.

// A GeData holding the Gradient, or nothing with *error naming the problem.
std::optional<GeData> GradientFromJson(std::string_view json, String* error);
// The gradient's mode (when set) and knots in insertion order, every knot field written
// but a zero index. Empty text only when memory runs out.
std::string GradientToJson(const Gradient& gradient);
