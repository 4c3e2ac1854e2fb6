#include "host/scene_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <new>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "host/description.h"
#include "host/gradient.h"
#include "host/json_reader.h"
#include "host/parameter_text.h"
#include "host/registry.h"

namespace {

constexpr const char* kVersionKey = "vantelle_scene";
constexpr Int32 kMinFps = 1;
constexpr Int32 kMaxFps = 1000;

struct BuiltInType {
  Int32 id;
  const char* name;
};

constexpr BuiltInType kBuiltInTypes[] = {
    {Onull, "Onull"},         {Opolygon, "Opolygon"},   {Ospline, "Ospline"},   {Ocube, "Ocube"},
    {Osphere, "Osphere"},     {Oplatonic, "Oplatonic"}, {Opyramid, "Opyramid"},
};

const char* BuiltInName(Int32 type) {
  for (const BuiltInType& t : kBuiltInTypes) {
    if (t.id == type) {
      return t.name;
    }
  }
  return nullptr;
}

// The name a type is saved under; empty for a type known only by its number.
std::string TypeName(Int32 type) {
  if (const DescriptionResource* resource = FindDescriptionResource(type)) {
    return resource->typeName.GetStd();
  }
  const char* builtIn = BuiltInName(type);
  return builtIn != nullptr ? builtIn : "";
}

// For messages: the name, or the number where there is none.
std::string TypeLabel(Int32 type) {
  const std::string name = TypeName(type);
  return name.empty() ? std::to_string(type) : name;
}

Bool IsLoadableType(Int32 type) {
  return BuiltInName(type) != nullptr || FindObjectPlugin(type) != nullptr;
}

std::optional<Int32> TypeByName(std::string_view name) {
  for (const ObjectPlugin* plugin : GetObjectPlugins()) {
    const DescriptionResource* resource = FindDescriptionResource(plugin->id);
    if (resource != nullptr && resource->typeName.View() == name) {
      return plugin->id;
    }
  }
  for (const BuiltInType& t : kBuiltInTypes) {
    if (name == t.name) {
      return t.id;
    }
  }
  return std::nullopt;
}

std::string KnownTypes() {
  std::string list;
  const auto add = [&list](const std::string& name) { list += (list.empty() ? "" : ", ") + name; };
  for (const BuiltInType& t : kBuiltInTypes) {
    add(t.name);
  }
  for (const ObjectPlugin* plugin : GetObjectPlugins()) {
    add(TypeLabel(plugin->id));
  }
  return list;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string Shortest(Float value) {
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

std::string ErrnoText(int code) { return std::error_code(code, std::generic_category()).message(); }

// ---- Writing -------------------------------------------------------------------------

struct WriteFailure {
  std::string message;
};

JsonValue Number(Float value, const std::string& what) {
  if (!std::isfinite(value)) {
    throw WriteFailure{what + " is not a finite number"};
  }
  return JsonValue::MakeNumber(value);
}

JsonValue VectorJson(const Vector& v, const std::string& what) {
  JsonValue array = JsonValue::MakeArray();
  array.Append(Number(v.x, what)).Append(Number(v.y, what)).Append(Number(v.z, what));
  return array;
}

JsonValue TimeJson(const BaseTime& t, const std::string& what) {
  if (t.denominator == 0.0) {
    throw WriteFailure{what + " has a zero denominator"};
  }
  JsonValue array = JsonValue::MakeArray();
  array.Append(Number(t.numerator, what)).Append(Number(t.denominator, what));
  return array;
}

JsonValue GradientJson(const GeData& data, const std::string& what) {
  const Gradient* gradient = data.GetCustomData<Gradient>();
  if (gradient == nullptr) {
    throw WriteFailure{what + " holds no gradient"};
  }
  const std::string text = GradientToJson(*gradient);
  JsonError error;
  std::optional<JsonValue> value = text.empty() ? std::nullopt : ReadJson(text, &error);
  if (!value) {
    throw WriteFailure{what + ": the gradient cannot be written"};
  }
  return std::move(*value);
}

// A value whose type the JSON itself must carry.
JsonValue GenericJson(const GeData& data, const std::string& what) {
  switch (data.GetType()) {
    case GeDataType::NIL: return JsonValue();
    case GeDataType::INT32: return JsonValue::MakeInteger(data.GetInt32());
    case GeDataType::INT64: {
      JsonValue wrapped = JsonValue::MakeObject();
      wrapped.Set("int64", JsonValue::MakeInteger(data.GetInt64()));
      return wrapped;
    }
    case GeDataType::FLOAT:
      if (!std::isfinite(data.GetFloat())) {
        throw WriteFailure{what + " is not a finite number"};
      }
      return JsonValue::MakeFloat(data.GetFloat());
    case GeDataType::VECTOR: return VectorJson(data.GetVector(), what);
    case GeDataType::STRING: return JsonValue::MakeString(data.GetString().GetStd());
    case GeDataType::TIME: {
      JsonValue wrapped = JsonValue::MakeObject();
      wrapped.Set("time", TimeJson(data.GetTime(), what));
      return wrapped;
    }
    case GeDataType::CONTAINER: throw WriteFailure{what + " holds a container, which scene files cannot hold"};
    case GeDataType::CUSTOM:
      if (data.GetCustomDataType(CUSTOMDATATYPE_GRADIENT) != nullptr) {
        return GradientJson(data, what);
      }
      throw WriteFailure{what + " holds custom data that scene files cannot hold"};
  }
  return JsonValue();
}

JsonValue TypedJson(const DescParameter& param, const GeData& data, const std::string& what) {
  switch (param.type) {
    case DescParamType::INT32: return JsonValue::MakeInteger(data.GetInt32());
    case DescParamType::BOOL: return JsonValue::MakeBoolean(data.GetBool());
    case DescParamType::FLOAT:
      if (!std::isfinite(data.GetFloat())) {
        throw WriteFailure{what + " is not a finite number"};
      }
      return JsonValue::MakeFloat(data.GetFloat());
    case DescParamType::VECTOR:
    case DescParamType::COLOR: return VectorJson(data.GetVector(), what);
    case DescParamType::STRING: return JsonValue::MakeString(data.GetString().GetStd());
    case DescParamType::GRADIENT: return GradientJson(data, what);
    case DescParamType::FONT:
    case DescParamType::BUTTON: break;  // no value of their own: whatever the entry holds
  }
  return GenericJson(data, what);
}

JsonValue ObjectJson(const BaseObject* op) {
  const Int32 type = op->GetType();
  const std::string typeName = TypeName(type);
  const std::string label = "object " + Quoted(op->GetName().View()) + " (" + TypeLabel(type) + ")";
  JsonValue obj = JsonValue::MakeObject();
  obj.Set("type", typeName.empty() ? JsonValue::MakeInteger(type) : JsonValue::MakeString(typeName));
  obj.Set("name", JsonValue::MakeString(op->GetName().GetStd()));
  obj.Set("enabled", JsonValue::MakeBoolean(op->GetDeformMode()));
  obj.Set("position", VectorJson(op->GetRelPos(), "the position of " + label));
  obj.Set("rotation", VectorJson(op->GetRelRot(), "the rotation of " + label));
  obj.Set("scale", VectorJson(op->GetRelScale(), "the scale of " + label));

  const DescriptionResource* resource = FindDescriptionResource(type);
  const BaseContainer* bc = op->GetDataInstance();
  JsonValue parameters = JsonValue::MakeObject();
  std::unordered_set<std::string> keys;
  for (Int32 i = 0; i < bc->GetCount(); ++i) {
    const Int32 id = bc->GetIndexId(i);
    const GeData* data = bc->GetIndexData(i);
    const DescParameter* param = resource != nullptr ? resource->FindById(id) : nullptr;
    std::string key = param != nullptr ? param->name.GetStd() : std::to_string(id);
    const std::string what = "parameter " + key + " of " + label;
    if (!keys.insert(key).second) {
      throw WriteFailure{what + ": another parameter is saved under the same key"};
    }
    parameters.Set(std::move(key), param != nullptr ? TypedJson(*param, *data, what) : GenericJson(*data, what));
  }
  obj.Set("parameters", std::move(parameters));

  JsonValue children = JsonValue::MakeArray();
  for (const BaseObject* child = op->GetDown(); child != nullptr; child = child->GetNext()) {
    children.Append(ObjectJson(child));
  }
  obj.Set("children", std::move(children));
  return obj;
}

// Walks without recursion, so that a hierarchy too deep to save cannot exhaust the stack
// while finding that out.
Bool HierarchyFits(const BaseDocument* doc) {
  Int32 depth = 1;
  const BaseObject* op = doc->GetFirstObject();
  while (op != nullptr) {
    if (depth > SCENE_MAX_OBJECT_DEPTH) {
      return false;
    }
    if (op->GetDown() != nullptr) {
      op = op->GetDown();
      ++depth;
      continue;
    }
    while (op != nullptr && op->GetNext() == nullptr) {
      op = op->GetUp();
      --depth;
    }
    if (op != nullptr) {
      op = op->GetNext();
    }
  }
  return true;
}

JsonValue DocumentJson(const BaseDocument* doc) {
  const Int32 fps = doc->GetFps();
  if (fps < kMinFps || fps > kMaxFps) {
    throw WriteFailure{"the frame rate " + std::to_string(fps) + " is outside " + std::to_string(kMinFps) + ".." +
                       std::to_string(kMaxFps)};
  }
  JsonValue settings = JsonValue::MakeObject();
  settings.Set("fps", JsonValue::MakeInteger(fps));
  settings.Set("time", TimeJson(doc->GetTime(), "the document time"));
  settings.Set("start", TimeJson(doc->GetMinTime(), "the document start"));
  settings.Set("end", TimeJson(doc->GetMaxTime(), "the document end"));
  return settings;
}

// ---- Reading -------------------------------------------------------------------------

struct LoadFailure {
  Int32 line;
  std::string message;
};

[[noreturn]] void Fail(Int32 line, std::string message) { throw LoadFailure{line, std::move(message)}; }
[[noreturn]] void Fail(const JsonValue& at, std::string message) { Fail(at.GetLine(), std::move(message)); }

// Misspelt keys would otherwise be skipped and their values silently defaulted.
void CheckKeys(const JsonValue& object, std::initializer_list<std::string_view> known, const std::string& where) {
  for (const JsonMember& m : object.GetMembers()) {
    if (std::find(known.begin(), known.end(), m.key) == known.end()) {
      std::string list;
      for (const std::string_view k : known) {
        list += (list.empty() ? "" : ", ") + std::string(k);
      }
      Fail(m.line, "unknown key " + Quoted(m.key) + " in " + where + " (known keys: " + list + ")");
    }
  }
}

const JsonValue& RequireKind(const JsonValue& v, JsonKind kind, const char* expected, const std::string& what) {
  if (v.GetKind() != kind) {
    Fail(v, what + " must be " + expected + ", found " + v.DescribeKind());
  }
  return v;
}

Float ReadNumberItem(const JsonValue& v, const std::string& what) {
  if (!v.IsNumber()) {
    Fail(v, what + " must be a number, found " + v.DescribeKind());
  }
  return v.GetNumber();
}

Vector ReadVector(const JsonValue& v, const std::string& what) {
  if (!v.IsArray() || v.GetItems().size() != 3) {
    const std::string found =
        v.IsArray() ? "an array of " + std::to_string(v.GetItems().size()) + " values" : v.DescribeKind();
    Fail(v, what + " must be [x, y, z], found " + found);
  }
  const auto& items = v.GetItems();
  return Vector(ReadNumberItem(items[0], what + " x"), ReadNumberItem(items[1], what + " y"),
                ReadNumberItem(items[2], what + " z"));
}

BaseTime ReadTime(const JsonValue& v, const std::string& what) {
  if (!v.IsArray() || v.GetItems().size() != 2) {
    const std::string found =
        v.IsArray() ? "an array of " + std::to_string(v.GetItems().size()) + " values" : v.DescribeKind();
    Fail(v, what + " must be [numerator, denominator], found " + found);
  }
  const Float numerator = ReadNumberItem(v.GetItems()[0], what + " numerator");
  const Float denominator = ReadNumberItem(v.GetItems()[1], what + " denominator");
  if (denominator == 0.0) {
    Fail(v.GetItems()[1], what + ": the denominator must not be 0");
  }
  return BaseTime(numerator, denominator);
}

// What ParseParameterValue says, without the parameter name it starts with (the caller
// names the parameter with its object type).
std::string WithoutName(const DescParameter& param, const String& error) {
  const std::string prefix = param.name.GetStd() + ": ";
  const std::string& text = error.GetStd();
  return text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text;
}

GeData ReadGradient(const JsonValue& v, const std::string& what) {
  RequireKind(v, JsonKind::OBJECT, "a gradient {\"mode\": ..., \"knots\": [...]}", what);
  String error;
  std::optional<GeData> gradient = GradientFromJson(WriteJson(v), &error);
  if (gradient) {
    return std::move(*gradient);
  }
  std::string message = error.GetStd();
  if (message.rfind("gradient: ", 0) == 0) {
    message = message.substr(10);
  }
  // Point at the knot that is wrong when one is: each is tried on its own.
  Int32 line = v.GetLine();
  if (const JsonMember* knots = v.Find("knots"); knots != nullptr && knots->value.IsArray()) {
    for (const JsonValue& knot : knots->value.GetItems()) {
      JsonValue single = JsonValue::MakeObject();
      single.Set("knots", JsonValue::MakeArray().Append(knot));
      if (!GradientFromJson(WriteJson(single), nullptr)) {
        line = knot.GetLine();
        break;
      }
    }
  }
  Fail(line, what + ": " + message);
}

// The entry of an ID without a description: the JSON value says what type it is.
GeData ReadGeneric(const JsonValue& v, const std::string& what) {
  switch (v.GetKind()) {
    case JsonKind::NUL: return GeData();
    case JsonKind::BOOLEAN: return GeData(static_cast<Bool>(v.GetBoolean()));
    case JsonKind::INTEGER: {
      const Int64 n = v.GetInteger();
      if (n < LIMIT_MIN_INT32 || n > LIMIT_MAX_INT32) {
        Fail(v, what + ": " + std::to_string(n) + " is outside the Int32 range; write {\"int64\": " +
                    std::to_string(n) + "} for a 64-bit integer");
      }
      return GeData(static_cast<Int32>(n));
    }
    case JsonKind::FLOAT: return GeData(v.GetNumber());
    case JsonKind::STRING: return GeData(String(v.GetString()));
    case JsonKind::ARRAY: return GeData(ReadVector(v, what));
    case JsonKind::OBJECT: break;
  }
  if (v.Find("knots") != nullptr) {
    return ReadGradient(v, what);
  }
  const auto& members = v.GetMembers();
  if (members.size() == 1 && members[0].key == "int64") {
    return GeData(RequireKind(members[0].value, JsonKind::INTEGER, "an integer", what).GetInteger());
  }
  if (members.size() == 1 && members[0].key == "time") {
    return GeData(ReadTime(members[0].value, what));
  }
  Fail(v, what + ": an object value must be a gradient {\"knots\": [...]}, {\"int64\": N} or {\"time\": [n, d]}");
}

// A described parameter's value: the JSON type must be the parameter's, and the value
// passes the same checks (limits, popup entries) as one typed by people.
GeData ReadTyped(const DescParameter& param, const JsonValue& v, const std::string& what) {
  const auto check = [&](const std::string& text, const JsonValue& at) {
    String error;
    std::optional<GeData> value = ParseParameterValue(param, text, &error);
    if (!value) {
      Fail(at, what + ": " + WithoutName(param, error));
    }
    return std::move(*value);
  };
  switch (param.type) {
    case DescParamType::INT32:
      RequireKind(v, JsonKind::INTEGER, "an integer", what);
      return check(std::to_string(v.GetInteger()), v);
    case DescParamType::FLOAT:
      if (!v.IsNumber()) {
        Fail(v, what + " must be a number, found " + v.DescribeKind());
      }
      return check(Shortest(v.GetNumber()), v);
    case DescParamType::BOOL:
      return GeData(static_cast<Bool>(RequireKind(v, JsonKind::BOOLEAN, "true or false", what).GetBoolean()));
    case DescParamType::STRING:
      return GeData(String(RequireKind(v, JsonKind::STRING, "a string", what).GetString()));
    case DescParamType::VECTOR:
    case DescParamType::COLOR: {
      const Vector vec = ReadVector(v, what);
      return check(Shortest(vec.x) + " " + Shortest(vec.y) + " " + Shortest(vec.z), v);
    }
    case DescParamType::GRADIENT: return ReadGradient(v, what);
    case DescParamType::FONT:
    case DescParamType::BUTTON: break;
  }
  return ReadGeneric(v, what);
}

// A parameter key that is an ID: an optionally negative decimal Int32.
std::optional<Int32> NumericId(std::string_view key) {
  Int32 id = 0;
  const auto [ptr, ec] = std::from_chars(key.data(), key.data() + key.size(), id);
  if (key.empty() || ec != std::errc() || ptr != key.data() + key.size()) {
    return std::nullopt;
  }
  return id;
}

class SceneReader {
public:
  explicit SceneReader(BaseDocument* doc) : doc_(doc) {}

  void ReadDocumentSettings(const JsonValue& v) {
    RequireKind(v, JsonKind::OBJECT, "an object", "\"document\"");
    CheckKeys(v, {"fps", "time", "start", "end"}, "\"document\"");
    if (const JsonMember* fps = v.Find("fps")) {
      const JsonValue& value = fps->value;
      if (!value.IsInteger() || value.GetInteger() < kMinFps || value.GetInteger() > kMaxFps) {
        const std::string found = value.IsInteger() ? std::to_string(value.GetInteger()) : value.DescribeKind();
        Fail(value, "document fps must be an integer from " + std::to_string(kMinFps) + " to " +
                        std::to_string(kMaxFps) + ", found " + found);
      }
      doc_->SetFps(static_cast<Int32>(value.GetInteger()));
    }
    if (const JsonMember* time = v.Find("time")) {
      doc_->SetTime(ReadTime(time->value, "document time"));
    }
    if (const JsonMember* start = v.Find("start")) {
      doc_->SetMinTime(ReadTime(start->value, "document start"));
    }
    if (const JsonMember* end = v.Find("end")) {
      doc_->SetMaxTime(ReadTime(end->value, "document end"));
    }
  }

  // Reads a list of objects into place under `parent` (top level when null).
  void ReadObjects(const JsonValue& list, BaseObject* parent, Int32 depth, const std::string& what) {
    RequireKind(list, JsonKind::ARRAY, "an array of objects", what);
    if (depth > SCENE_MAX_OBJECT_DEPTH && !list.GetItems().empty()) {
      Fail(list, "objects nested deeper than " + std::to_string(SCENE_MAX_OBJECT_DEPTH) + " levels");
    }
    BaseObject* last = nullptr;
    for (const JsonValue& item : list.GetItems()) {
      last = ReadObject(item, parent, last, depth);
    }
  }

private:
  Int32 ReadType(const JsonValue& object) {
    const JsonMember* typeMember = object.Find("type");
    if (typeMember == nullptr) {
      Fail(object, "an object needs a \"type\"");
    }
    const JsonValue& v = typeMember->value;
    if (v.IsString()) {
      if (const std::optional<Int32> type = TypeByName(v.GetString())) {
        return *type;
      }
      Fail(v, "unknown object type " + Quoted(v.GetString()) + "; known types: " + KnownTypes());
    }
    if (v.IsInteger()) {
      const Int64 n = v.GetInteger();
      if (n >= LIMIT_MIN_INT32 && n <= LIMIT_MAX_INT32 && IsLoadableType(static_cast<Int32>(n))) {
        return static_cast<Int32>(n);
      }
      Fail(v, "unknown object type " + std::to_string(n) + "; known types: " + KnownTypes());
    }
    Fail(v, std::string("\"type\" must be a type name or number, found ") + v.DescribeKind());
  }

  BaseObject* ReadObject(const JsonValue& v, BaseObject* parent, BaseObject* pred, Int32 depth) {
    RequireKind(v, JsonKind::OBJECT, "a JSON object", "an object");
    CheckKeys(v, {"type", "name", "enabled", "position", "rotation", "scale", "parameters", "children"},
              "an object");
    const Int32 type = ReadType(v);
    BaseObject* op = BaseObject::Alloc(type);
    if (op == nullptr) {
      Fail(v.Find("type")->value, "an object of type " + TypeLabel(type) + " could not be created");
    }
    // In place at once, so that freeing the document frees it if a later value is bad.
    if (pred != nullptr) {
      op->InsertAfter(pred);
    } else if (parent != nullptr) {
      op->InsertUnder(parent);
    } else {
      doc_->InsertObject(op, nullptr, nullptr);
    }

    const std::string typeLabel = TypeLabel(type);
    if (const JsonMember* name = v.Find("name")) {
      op->SetName(
          String(RequireKind(name->value, JsonKind::STRING, "a string", "\"name\" of a " + typeLabel).GetString()));
    }
    const std::string label = "object " + Quoted(op->GetName().View()) + " (" + typeLabel + ")";
    if (const JsonMember* enabled = v.Find("enabled")) {
      // Restoring a state is not switching it: the object hears nothing.
      op->SetDeformMode(RequireKind(enabled->value, JsonKind::BOOLEAN, "true or false", "\"enabled\" of " + label)
                            .GetBoolean(),
                        false);
    }
    if (const JsonMember* m = v.Find("position")) {
      op->SetRelPos(ReadVector(m->value, "\"position\" of " + label));
    }
    if (const JsonMember* m = v.Find("rotation")) {
      op->SetRelRot(ReadVector(m->value, "\"rotation\" of " + label));
    }
    if (const JsonMember* m = v.Find("scale")) {
      op->SetRelScale(ReadVector(m->value, "\"scale\" of " + label));
    }
    if (const JsonMember* m = v.Find("parameters")) {
      ReadParameters(m->value, op, typeLabel, label);
    }
    if (const JsonMember* m = v.Find("children")) {
      ReadObjects(m->value, op, depth + 1, "\"children\" of " + label);
    }
    return op;
  }

  void ReadParameters(const JsonValue& v, BaseObject* op, const std::string& typeLabel, const std::string& label) {
    RequireKind(v, JsonKind::OBJECT, "an object", "\"parameters\" of " + label);
    const DescriptionResource* resource = FindDescriptionResource(op->GetType());
    BaseContainer* bc = op->GetDataInstance();
    std::unordered_map<Int32, Int32> seen;  // ID -> line
    for (const JsonMember& m : v.GetMembers()) {
      const DescParameter* param = resource != nullptr ? resource->FindByName(m.key) : nullptr;
      Int32 id = 0;
      if (param != nullptr) {
        id = param->id;
      } else if (const std::optional<Int32> numeric = NumericId(m.key)) {
        id = *numeric;
        param = resource != nullptr ? resource->FindById(id) : nullptr;
      } else {
        std::string message = "unknown parameter " + m.key + " of " + typeLabel;
        if (resource == nullptr) {
          message += "; " + typeLabel + " has no description, so its parameters are given by number";
        } else if (const std::optional<std::string> closest = FindClosestParameterName(*resource, m.key)) {
          message += "; did you mean " + *closest + "?";
        }
        Fail(m.line, message);
      }
      const auto [it, fresh] = seen.emplace(id, m.line);
      if (!fresh) {
        Fail(m.line, "parameter " + m.key + " of " + typeLabel + " is given twice (also at line " +
                         std::to_string(it->second) + ")");
      }
      const std::string what = "parameter " + m.key + " of " + typeLabel;
      // Straight into the container: a scene restores values, it does not edit them.
      bc->SetData(id, param != nullptr ? ReadTyped(*param, m.value, what) : ReadGeneric(m.value, what));
    }
  }

  BaseDocument* doc_;
};

BaseDocument* ReadScene(const JsonValue& root) {
  RequireKind(root, JsonKind::OBJECT, "a JSON object", "a scene");
  const JsonMember* version = root.Find(kVersionKey);
  if (version == nullptr) {
    Fail(root, "missing \"vantelle_scene\": this is not a Vantelle scene file");
  }
  if (!version->value.IsInteger() || version->value.GetInteger() < 1) {
    Fail(version->value, "\"vantelle_scene\" must be a format version number such as 1");
  }
  if (version->value.GetInteger() > SCENE_FORMAT_VERSION) {
    Fail(version->value, "the scene has format version " + std::to_string(version->value.GetInteger()) +
                             ", newer than this version of Vantelle reads (" + std::to_string(SCENE_FORMAT_VERSION) +
                             "); update Vantelle to load it");
  }
  CheckKeys(root, {kVersionKey, "document", "objects"}, "the scene");

  struct DocumentGuard {
    BaseDocument* doc = BaseDocument::Alloc();
    ~DocumentGuard() { BaseDocument::Free(doc); }
  } guard;
  SceneReader reader(guard.doc);
  if (const JsonMember* settings = root.Find("document")) {
    reader.ReadDocumentSettings(settings->value);
  }
  if (const JsonMember* objects = root.Find("objects")) {
    reader.ReadObjects(objects->value, nullptr, 1, "\"objects\"");
  }
  return std::exchange(guard.doc, nullptr);
}

void SetError(SceneError* error, const String& file, Int32 line, std::string message) {
  if (error != nullptr) {
    error->kind = SceneError::Kind::BAD_INPUT;
    error->file = file;
    error->line = line;
    error->message = String(std::move(message));
  }
}

void SetText(String* error, std::string message) {
  if (error != nullptr) {
    *error = String(std::move(message));
  }
}

// Every byte of `text` to `fd`; false with errno set on failure.
bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::atomic<UInt32> g_tempCounter{0};

}  // namespace

String SceneError::Format() const {
  const std::string name = file.IsPopulated() ? file.GetStd() : std::string("scene");
  const std::string where = line > 0 ? name + ":" + std::to_string(line) : name;
  return String(where + ": " + message.GetStd());
}

std::string SceneToJson(const BaseDocument* doc, String* error) {
  if (doc == nullptr) {
    SetText(error, "there is no document to save");
    return {};
  }
  if (!HierarchyFits(doc)) {
    SetText(error, "objects are nested deeper than " + std::to_string(SCENE_MAX_OBJECT_DEPTH) +
                       " levels, more than a scene file holds");
    return {};
  }
  try {
    JsonValue root = JsonValue::MakeObject();
    root.Set(kVersionKey, JsonValue::MakeInteger(SCENE_FORMAT_VERSION));
    root.Set("document", DocumentJson(doc));
    JsonValue objects = JsonValue::MakeArray();
    for (const BaseObject* op = doc->GetFirstObject(); op != nullptr; op = op->GetNext()) {
      objects.Append(ObjectJson(op));
    }
    root.Set("objects", std::move(objects));
    std::string text = WriteJson(root, true);
    text += '\n';
    return text;
  } catch (const WriteFailure& failure) {
    SetText(error, failure.message);
  } catch (const std::bad_alloc&) {
    SetText(error, "not enough memory to write the scene");
  }
  return {};
}

Bool SaveScene(const BaseDocument* doc, const Filename& path, String* error) {
  const std::string target = path.GetString().GetStd();
  String problem;
  const std::string text = SceneToJson(doc, &problem);
  if (text.empty()) {
    SetText(error, target + ": " + problem.GetStd());
    return false;
  }
  if (text.size() > JsonLimits().maxBytes) {
    SetText(error, target + ": the scene is larger than " + std::to_string(JsonLimits().maxBytes) +
                       " bytes, more than a scene file may hold");
    return false;
  }
  const std::filesystem::path targetPath = path.GetPath();
  if (targetPath.filename().empty()) {
    SetText(error, target + ": not a file name");
    return false;
  }
  std::filesystem::path folder = targetPath.parent_path();
  if (folder.empty()) {
    folder = ".";
  }

  // A name of our own next to the target, so the rename stays on one file system.
  int fd = -1;
  std::filesystem::path temp;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder / ("." + targetPath.filename().string() + "." + std::to_string(::getpid()) + "." +
                     std::to_string(g_tempCounter.fetch_add(1)) + ".tmp");
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) {
      break;
    }
  }
  if (fd < 0) {
    SetText(error, target + ": cannot create a file in " + folder.string() + ": " + ErrnoText(errno));
    return false;
  }
  // A replaced file keeps who may read it.
  struct stat existing {};
  if (::stat(targetPath.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    (void)::fchmod(fd, existing.st_mode & 07777);
  }
  const auto abandon = [&](const std::string& what) {
    const int code = errno;
    if (fd >= 0) {
      ::close(fd);
    }
    ::unlink(temp.c_str());
    SetText(error, target + ": " + what + ": " + ErrnoText(code));
    return false;
  };
  if (!WriteAll(fd, text)) {
    return abandon("cannot write the scene");
  }
  if (::fsync(fd) != 0) {
    return abandon("cannot write the scene");
  }
  const int closed = ::close(fd);
  fd = -1;
  if (closed != 0) {
    return abandon("cannot write the scene");
  }
  if (::rename(temp.c_str(), targetPath.c_str()) != 0) {
    return abandon("cannot replace the file");
  }
  return true;
}

BaseDocument* SceneFromJson(std::string_view text, const String& fileName, SceneError* error) {
  try {
    JsonError jsonError;
    const std::optional<JsonValue> root = ReadJson(text, &jsonError);
    if (!root) {
      SetError(error, fileName, jsonError.line,
               jsonError.message + " (column " + std::to_string(jsonError.column) + ")");
      return nullptr;
    }
    return ReadScene(*root);
  } catch (const LoadFailure& failure) {
    SetError(error, fileName, failure.line, failure.message);
  } catch (const std::bad_alloc&) {
    SetError(error, fileName, 0, "not enough memory to load the scene");
  }
  return nullptr;
}

BaseDocument* LoadScene(const Filename& path, SceneError* error) {
  const String name = path.GetString();
  const int fd = ::open(path.GetPath().c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    SetError(error, name, 0, "cannot open the scene: " + ErrnoText(errno));
    return nullptr;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    SetError(error, name, 0, "cannot read the scene: " + ErrnoText(errno));
    return nullptr;
  }
  if (S_ISDIR(info.st_mode)) {
    SetError(error, name, 0, "is a folder, not a scene file");
    return nullptr;
  }
  const std::size_t cap = JsonLimits().maxBytes;
  if (S_ISREG(info.st_mode) && static_cast<UInt64>(info.st_size) > cap) {
    SetError(error, name, 0, "the file is larger than " + std::to_string(cap) + " bytes, more than a scene may be");
    return nullptr;
  }
  std::string text;
  std::array<char, 65536> buffer{};
  while (true) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      SetError(error, name, 0, "cannot read the scene: " + ErrnoText(errno));
      return nullptr;
    }
    if (got == 0) {
      break;
    }
    // Pipes and devices have no size to check up front.
    if (text.size() + static_cast<std::size_t>(got) > cap) {
      SetError(error, name, 0, "the file is larger than " + std::to_string(cap) + " bytes, more than a scene may be");
      return nullptr;
    }
    text.append(buffer.data(), static_cast<std::size_t>(got));
  }
  return SceneFromJson(text, name, error);
}
