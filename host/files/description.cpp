#include "host/files/description.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>

#include <nlohmann/json.hpp>

#include "host/core/gradient.h"
#include "host/files/files.h"

namespace {

// Ordered, so that unknown fields are reported in the order the author wrote them and
// written gradients keep a readable field order.
using Json = nlohmann::ordered_json;

// Thrown inside this file only; every public function turns it into its error text.
struct ResourceError {
  std::string message;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw ResourceError{where.empty() ? what : where + ": " + what};
}

void SetError(String* error, const std::string& message) {
  if (error != nullptr) {
    *error = String(message);
  }
}

// The shortest text that reads back as the value, in exponent form only for the very
// large and small: a limit like 0.0001 is not reported as 0, nor 1e+308 as 309 digits.
std::string Num(Float value) {
  char buffer[64];
  const Float magnitude = std::abs(value);
  const bool plain = magnitude < 1e15 && (magnitude >= 1e-9 || magnitude == 0.0);
  const auto result = plain ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
                            : std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ec == std::errc() ? result.ptr : buffer);
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// A misspelt field would otherwise be ignored silently and its value quietly defaulted.
void CheckKeys(const Json& object, std::initializer_list<std::string_view> known, const std::string& where) {
  for (const auto& item : object.items()) {
    if (std::find(known.begin(), known.end(), item.key()) == known.end()) {
      Fail(where, "unknown field " + Quoted(item.key()));
    }
  }
}

const Json& Require(const Json& object, const char* key, const std::string& where) {
  const auto it = object.find(key);
  if (it == object.end()) {
    Fail(where, "missing field " + Quoted(key));
  }
  return *it;
}

const Json* Optional(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

Float ReadFloat(const Json& value, const std::string& where, const std::string& field) {
  if (!value.is_number()) {
    Fail(where, field + " must be a number");
  }
  const Float v = value.get<Float>();
  if (!std::isfinite(v)) {
    Fail(where, field + " must be finite");
  }
  return v;
}

Int32 ReadInt32(const Json& value, const std::string& where, const std::string& field) {
  if (!value.is_number_integer()) {
    Fail(where, field + " must be an integer");
  }
  // Large positive integers arrive unsigned and would wrap if read as signed.
  if (value.is_number_unsigned()) {
    const auto u = value.get<std::uint64_t>();
    if (u > static_cast<std::uint64_t>(LIMIT_MAX_INT32)) {
      Fail(where, field + " " + std::to_string(u) + " is outside the Int32 range");
    }
    return static_cast<Int32>(u);
  }
  const auto v = value.get<std::int64_t>();
  if (v < LIMIT_MIN_INT32 || v > LIMIT_MAX_INT32) {
    Fail(where, field + " " + std::to_string(v) + " is outside the Int32 range");
  }
  return static_cast<Int32>(v);
}

Bool ReadBool(const Json& value, const std::string& where, const std::string& field) {
  if (!value.is_boolean()) {
    Fail(where, field + " must be true or false");
  }
  return value.get<Bool>();
}

std::string ReadText(const Json& value, const std::string& where, const std::string& field) {
  if (!value.is_string()) {
    Fail(where, field + " must be a string");
  }
  return value.get<std::string>();
}

Vector ReadVector(const Json& value, const std::string& where, const std::string& field) {
  if (!value.is_array() || value.size() != 3) {
    Fail(where, field + " must be an array of three numbers");
  }
  return Vector(ReadFloat(value[0], where, field + "[0]"), ReadFloat(value[1], where, field + "[1]"),
                ReadFloat(value[2], where, field + "[2]"));
}

Json ParseJson(std::string_view text, const std::string& where) {
  try {
    return Json::parse(text.begin(), text.end());
  } catch (const Json::exception& e) {  // syntax errors and out-of-range numbers alike
    Fail(where, std::string("not valid JSON: ") + e.what());
  }
}

// ---- Gradients ------------------------------------------------------------------------

Bool IsKnownInterpolation(Int32 code) {
  return code == GRADIENT_INTERPOLATION_CUBIC || code == GRADIENT_INTERPOLATION_CUBICBIAS ||
         code == GRADIENT_INTERPOLATION_SMOOTH || code == GRADIENT_INTERPOLATION_LINEAR ||
         code == GRADIENT_INTERPOLATION_NONE;
}

GradientKnot ReadKnot(const Json& value, const std::string& where, const std::string& field) {
  if (!value.is_object()) {
    Fail(where, field + " must be an object");
  }
  const std::string at = where.empty() ? field : where + ": " + field;
  CheckKeys(value, {"color", "position", "brightness", "bias", "interpolation", "index"}, at);
  GradientKnot knot;
  knot.col = ReadVector(Require(value, "color", at), at, "color");
  knot.pos = ReadFloat(Require(value, "position", at), at, "position");
  if (knot.pos < 0.0 || knot.pos > 1.0) {
    Fail(at, "position " + Num(knot.pos) + " is outside 0..1");
  }
  if (const Json* v = Optional(value, "brightness")) {
    knot.brightness = ReadFloat(*v, at, "brightness");
  }
  if (const Json* v = Optional(value, "bias")) {
    knot.bias = ReadFloat(*v, at, "bias");
    if (knot.bias < 0.0 || knot.bias > 1.0) {
      Fail(at, "bias " + Num(knot.bias) + " is outside 0..1");
    }
  }
  if (const Json* v = Optional(value, "interpolation")) {
    knot.interpolation = ReadInt32(*v, at, "interpolation");
    if (!IsKnownInterpolation(knot.interpolation)) {
      Fail(at, "interpolation " + std::to_string(knot.interpolation) + " is not a known interpolation code");
    }
  }
  if (const Json* v = Optional(value, "index")) {
    knot.index = ReadInt32(*v, at, "index");
  }
  // Colours end up in single precision (vertex colours, files); beyond it they are not
  // finite any more.
  for (const Float component : {knot.col.x, knot.col.y, knot.col.z}) {
    if (!(std::abs(component * knot.brightness) <= std::numeric_limits<Float32>::max())) {
      Fail(at, "color times brightness is " + Num(component * knot.brightness) +
                   ", beyond what a colour can hold (at most 3.4e38 in magnitude)");
    }
  }
  return knot;
}

// `field` names the value in messages ("default" inside a description, empty for a
// stand-alone gradient text).
Gradient ReadGradient(const Json& value, const std::string& where, const std::string& field) {
  const std::string prefix = field.empty() ? "" : field + ".";
  if (!value.is_object()) {
    Fail(where, (field.empty() ? std::string() : field + " ") + "must be an object with \"knots\"");
  }
  const std::string at = field.empty() ? where : (where.empty() ? field : where + ": " + field);
  CheckKeys(value, {"mode", "knots"}, at);
  Gradient gradient;
  if (const Json* mode = Optional(value, "mode")) {
    // The gradient's kinds, as the host's gradient editor offers them in its popup.
    const Int32 m = ReadInt32(*mode, where, prefix + "mode");
    if (m < 0 || m > 2) {
      Fail(where, prefix + "mode " + std::to_string(m) + " is not one of 0 (colour), 1 (alpha), 2 (colour and alpha)");
    }
    gradient.SetData(GRADIENT_MODE, GeData(m));
  }
  const Json& knots = Require(value, "knots", at);
  if (!knots.is_array()) {
    Fail(where, prefix + "knots must be an array");
  }
  if (knots.size() > static_cast<std::size_t>(GRADIENT_MAX_KNOTS)) {
    Fail(where, prefix + "knots: " + std::to_string(knots.size()) + " knots, more than the " +
                    std::to_string(GRADIENT_MAX_KNOTS) + " a gradient may have");
  }
  for (std::size_t i = 0; i < knots.size(); ++i) {
    gradient.InsertKnot(ReadKnot(knots[i], where, prefix + "knots[" + std::to_string(i) + "]"));
  }
  return gradient;
}

// ---- Parameters -----------------------------------------------------------------------

struct TypeName {
  DescParamType type;
  const char* name;
};

constexpr TypeName kTypeNames[] = {
    {DescParamType::INT32, "int32"},   {DescParamType::FLOAT, "float"},   {DescParamType::BOOL, "bool"},
    {DescParamType::STRING, "string"}, {DescParamType::VECTOR, "vector"}, {DescParamType::COLOR, "color"},
    {DescParamType::GRADIENT, "gradient"}, {DescParamType::FONT, "font"}, {DescParamType::BUTTON, "button"},
};

Bool HasLimits(DescParamType t) {
  return t == DescParamType::INT32 || t == DescParamType::FLOAT || t == DescParamType::VECTOR ||
         t == DescParamType::COLOR;
}

// Fonts and buttons carry no value the resource could give; their default is nil.
Bool HasNilDefault(DescParamType t) { return t == DescParamType::FONT || t == DescParamType::BUTTON; }

void CheckInLimits(const DescParameter& p, Float v, const std::string& where, const std::string& what) {
  if (p.min && v < *p.min) {
    Fail(where, what + " " + Num(v) + " is below the minimum " + Num(*p.min));
  }
  if (p.max && v > *p.max) {
    Fail(where, what + " " + Num(v) + " is above the maximum " + Num(*p.max));
  }
}

GeData ReadDefault(const DescParameter& p, const Json& value, const std::string& where) {
  switch (p.type) {
    case DescParamType::INT32: {
      const Int32 v = ReadInt32(value, where, "default");
      CheckInLimits(p, v, where, "default");
      return GeData(v);
    }
    case DescParamType::FLOAT: {
      const Float v = ReadFloat(value, where, "default");
      CheckInLimits(p, v, where, "default");
      return GeData(v);
    }
    case DescParamType::BOOL: return GeData(ReadBool(value, where, "default"));
    case DescParamType::STRING: return GeData(String(ReadText(value, where, "default")));
    case DescParamType::VECTOR:
    case DescParamType::COLOR: {
      const Vector v = ReadVector(value, where, "default");
      CheckInLimits(p, v.x, where, "default component x");
      CheckInLimits(p, v.y, where, "default component y");
      CheckInLimits(p, v.z, where, "default component z");
      return GeData(v);
    }
    case DescParamType::GRADIENT: return GeData(ReadGradient(value, where, "default"));
    case DescParamType::FONT:
    case DescParamType::BUTTON: break;
  }
  if (!value.is_null()) {
    Fail(where, std::string(DescParamTypeName(p.type)) + " parameters take no default");
  }
  return GeData();
}

std::vector<DescPopupEntry> ReadPopup(const Json& value, const std::string& where) {
  if (!value.is_array() || value.empty()) {
    Fail(where, "popup must be a non-empty array of [value, \"label\"] entries");
  }
  std::vector<DescPopupEntry> entries;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const std::string field = "popup[" + std::to_string(i) + "]";
    const Json& entry = value[i];
    if (!entry.is_array() || entry.size() != 2) {
      Fail(where, field + " must be [value, \"label\"]");
    }
    DescPopupEntry e;
    e.value = ReadInt32(entry[0], where, field + " value");
    e.label = String(ReadText(entry[1], where, field + " label"));
    for (const DescPopupEntry& earlier : entries) {
      if (earlier.value == e.value) {
        Fail(where, "popup value " + std::to_string(e.value) + " appears twice");
      }
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

DescParameter ReadParameter(const Json& value, std::size_t index) {
  std::string where = "parameters[" + std::to_string(index) + "]";
  if (!value.is_object()) {
    Fail(where, "must be an object");
  }
  DescParameter p;
  p.id = ReadInt32(Require(value, "id", where), where, "id");
  where += " (" + std::to_string(p.id) + ")";
  const std::string name = ReadText(Require(value, "name", where), where, "name");
  if (name.empty()) {
    Fail(where, "name must not be empty");
  }
  p.name = String(name);
  where = "parameter " + name + " (" + std::to_string(p.id) + ")";
  CheckKeys(value,
            {"id", "name", "type", "label", "group", "default", "min", "max", "maxlength", "popup", "command", "hide"},
            where);

  const std::string typeName = ReadText(Require(value, "type", where), where, "type");
  const auto* known = std::find_if(std::begin(kTypeNames), std::end(kTypeNames),
                                   [&](const TypeName& t) { return typeName == t.name; });
  if (known == std::end(kTypeNames)) {
    Fail(where, "unknown type " + Quoted(typeName));
  }
  p.type = known->type;

  p.label = String(name);
  if (const Json* v = Optional(value, "label")) {
    p.label = String(ReadText(*v, where, "label"));
  }
  if (const Json* v = Optional(value, "group")) {
    p.group = String(ReadText(*v, where, "group"));
  }
  if (const Json* v = Optional(value, "hide")) {
    p.hide = ReadBool(*v, where, "hide");
  }
  if (const Json* v = Optional(value, "command")) {
    if (p.type != DescParamType::INT32 && p.type != DescParamType::BUTTON) {
      Fail(where, "command applies only to int32 and button parameters");
    }
    p.command = ReadBool(*v, where, "command");
  }

  const Json* min = Optional(value, "min");
  const Json* max = Optional(value, "max");
  if ((min != nullptr || max != nullptr) && !HasLimits(p.type)) {
    Fail(where, "min and max apply only to int32, float, vector and color parameters");
  }
  if (min != nullptr) {
    p.min = p.type == DescParamType::INT32 ? ReadInt32(*min, where, "min") : ReadFloat(*min, where, "min");
  }
  if (max != nullptr) {
    p.max = p.type == DescParamType::INT32 ? ReadInt32(*max, where, "max") : ReadFloat(*max, where, "max");
  }
  // A colour is 0..1 per component unless the resource widens it on purpose.
  if (p.type == DescParamType::COLOR) {
    p.min = p.min.value_or(0.0);
    p.max = p.max.value_or(1.0);
  }
  if (p.min && p.max && *p.min > *p.max) {
    Fail(where, "minimum " + Num(*p.min) + " is above the maximum " + Num(*p.max));
  }

  if (const Json* v = Optional(value, "maxlength")) {
    if (p.type != DescParamType::STRING) {
      Fail(where, "maxlength applies only to string parameters");
    }
    p.maxLength = ReadInt32(*v, where, "maxlength");
    if (*p.maxLength < 1) {
      Fail(where, "maxlength must be at least 1");
    }
  }

  if (const Json* v = Optional(value, "popup")) {
    if (p.type != DescParamType::INT32) {
      Fail(where, "popup applies only to int32 parameters");
    }
    p.popup = ReadPopup(*v, where);
  }

  const Json* def = Optional(value, "default");
  if (def == nullptr && !HasNilDefault(p.type)) {
    Fail(where, "missing field \"default\"");
  }
  if (def != nullptr) {
    p.defaultValue = ReadDefault(p, *def, where);
  }
  if (!p.popup.empty()) {
    const Int32 d = p.defaultValue.GetInt32();
    if (std::none_of(p.popup.begin(), p.popup.end(), [d](const DescPopupEntry& e) { return e.value == d; })) {
      Fail(where, "default " + std::to_string(d) + " is not among the popup values");
    }
  }
  return p;
}

DescriptionResource ReadResource(std::string_view text) {
  const Json root = ParseJson(text, "description");
  const std::string where = "description";
  if (!root.is_object()) {
    Fail(where, "must be a JSON object");
  }
  CheckKeys(root, {"resource", "type", "id", "parameters"}, where);
  DescriptionResource resource;
  const std::string name = ReadText(Require(root, "resource", where), where, "resource");
  const std::string typeName = ReadText(Require(root, "type", where), where, "type");
  if (name.empty() || typeName.empty()) {
    Fail(where, "resource and type must not be empty");
  }
  resource.resourceName = String(name);
  resource.typeName = String(typeName);
  resource.typeId = ReadInt32(Require(root, "id", where), where, "id");
  const Json& parameters = Require(root, "parameters", where);
  if (!parameters.is_array()) {
    Fail(where, "parameters must be an array");
  }
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    DescParameter p = ReadParameter(parameters[i], i);
    const std::string at = "parameter " + p.name.GetStd() + " (" + std::to_string(p.id) + ")";
    if (const DescParameter* other = resource.FindById(p.id)) {
      Fail(at, "ID " + std::to_string(p.id) + " is already used by " + other->name.GetStd());
    }
    if (const DescParameter* other = resource.FindByName(p.name.View())) {
      Fail(at, "name is already used by ID " + std::to_string(other->id));
    }
    resource.parameters.push_back(std::move(p));
  }
  return resource;
}

// ---- Registry -------------------------------------------------------------------------

struct Registry {
  std::mutex mutex;
  // Node-based, so pointers handed out stay valid while other types register.
  std::map<Int32, DescriptionResource> resources;
};

Registry& GetRegistry() {
  static Registry registry;
  return registry;
}

// The name becomes a file name; anything else could reach outside the folder.
Bool IsPlainName(const String& name) {
  return name.IsPopulated() && std::all_of(name.View().begin(), name.View().end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
         });
}

}  // namespace

const DescParameter* DescriptionResource::FindById(Int32 id) const {
  const auto it = std::find_if(parameters.begin(), parameters.end(), [id](const DescParameter& p) { return p.id == id; });
  return it == parameters.end() ? nullptr : &*it;
}

const DescParameter* DescriptionResource::FindByName(std::string_view name) const {
  const auto it =
      std::find_if(parameters.begin(), parameters.end(), [name](const DescParameter& p) { return p.name.View() == name; });
  return it == parameters.end() ? nullptr : &*it;
}

const char* DescParamTypeName(DescParamType type) {
  for (const TypeName& t : kTypeNames) {
    if (t.type == type) {
      return t.name;
    }
  }
  return "unknown";
}

std::optional<DescriptionResource> ParseDescriptionResource(std::string_view json, String* error) {
  try {
    return ReadResource(json);
  } catch (const ResourceError& e) {
    SetError(error, e.message);
  } catch (const std::exception& e) {
    SetError(error, std::string("description: ") + e.what());
  }
  return std::nullopt;
}

Bool RegisterDescription(Int32 typeId, const String& name, const Filename& resourceFolder, String* error) {
  try {
    if (!IsPlainName(name)) {
      Fail("", "description name " + Quoted(name.View()) + " must be letters, digits, '_' or '-'");
    }
    Registry& registry = GetRegistry();
    {
      const std::lock_guard lock(registry.mutex);
      if (registry.resources.count(typeId) != 0) {
        Fail("", "type " + std::to_string(typeId) + " already has a description");
      }
    }
    const Filename path = resourceFolder + Filename("description") + Filename(name + String(".json"));
    const std::string where = path.GetString().GetStd();
    std::string text;
    if (!ReadTextFile(path, text)) {
      Fail(where, "cannot read the description file");
    }
    String parseError;
    std::optional<DescriptionResource> resource = ParseDescriptionResource(text, &parseError);
    if (!resource) {
      Fail(where, parseError.GetStd());
    }
    if (resource->resourceName != name) {
      Fail(where, "resource " + Quoted(resource->resourceName.View()) + " does not match the name " +
                      Quoted(name.View()));
    }
    if (resource->typeId != typeId) {
      Fail(where, "id " + std::to_string(resource->typeId) + " does not match the type " + std::to_string(typeId));
    }
    const std::lock_guard lock(registry.mutex);
    if (!registry.resources.emplace(typeId, std::move(*resource)).second) {
      Fail(where, "type " + std::to_string(typeId) + " already has a description");
    }
    return true;
  } catch (const ResourceError& e) {
    SetError(error, e.message);
  } catch (const std::exception& e) {
    SetError(error, std::string("description: ") + e.what());
  }
  return false;
}

const DescriptionResource* FindDescriptionResource(Int32 typeId) {
  Registry& registry = GetRegistry();
  const std::lock_guard lock(registry.mutex);
  const auto it = registry.resources.find(typeId);
  return it == registry.resources.end() ? nullptr : &it->second;
}

void FreeDescriptions() {
  Registry& registry = GetRegistry();
  const std::lock_guard lock(registry.mutex);
  registry.resources.clear();
}

Bool Description::LoadDescription(Int32 typeId) {
  try {
    const DescriptionResource* resource = FindDescriptionResource(typeId);
    if (resource == nullptr) {
      return false;
    }
    resource_ = *resource;
    loaded_ = true;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

DescParameter* Description::GetParameterI(const DescID& id) {
  return const_cast<DescParameter*>(std::as_const(*this).GetParameterI(id));
}

const DescParameter* Description::GetParameterI(const DescID& id) const {
  if (!loaded_ || id.GetDepth() == 0) {
    return nullptr;
  }
  return resource_.FindById(id[0].id);
}

std::optional<GeData> GradientFromJson(std::string_view json, String* error) {
  try {
    return GeData(ReadGradient(ParseJson(json, "gradient"), "gradient", ""));
  } catch (const ResourceError& e) {
    SetError(error, e.message);
  } catch (const std::exception& e) {
    SetError(error, std::string("gradient: ") + e.what());
  }
  return std::nullopt;
}

std::string GradientToJson(const Gradient& gradient) {
  try {
    Json out = Json::object();
    const GeData& mode = gradient.GetSettings().GetData(GRADIENT_MODE);
    if (!mode.IsNil()) {
      out["mode"] = mode.GetInt32();
    }
    Json knots = Json::array();
    for (Int32 i = 0; i < gradient.GetKnotCount(); ++i) {
      const GradientKnot k = gradient.GetKnot(i);
      Json knot = {{"color", {k.col.x, k.col.y, k.col.z}},
                   {"position", k.pos},
                   {"brightness", k.brightness},
                   {"bias", k.bias},
                   {"interpolation", k.interpolation}};
      if (k.index != 0) {
        knot["index"] = k.index;
      }
      knots.push_back(std::move(knot));
    }
    out["knots"] = std::move(knots);
    return out.dump();
  } catch (const std::exception&) {
    return std::string();
  }
}
