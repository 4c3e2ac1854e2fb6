#include "host/files/scene_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <initializer_list>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <filesystem>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "host/core/font_data.h"
#include "host/core/utf8.h"
#include "host/files/description.h"
#include "host/files/font_catalog.h"
#include "host/files/json_reader.h"
#include "host/files/parameter_text.h"
#include "host/files/scene_format.h"

namespace {

using scene_format::ErrnoText;
using scene_format::IsLoadableType;
using scene_format::KnownTypes;
using scene_format::kMaxFps;
using scene_format::kMinFps;
using scene_format::kVersionKey;
using scene_format::Quoted;
using scene_format::TypeByName;
using scene_format::TypeLabel;

std::string Shortest(Float value) {
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

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

// Every text the host keeps is UTF-8; a stray byte would reach the objects, the files
// written from them and the terminal.
const std::string& ReadText(const JsonValue& v, const std::string& what) {
  const std::string& text = RequireKind(v, JsonKind::STRING, "a string", what).GetString();
  if (const std::size_t bad = FindInvalidUtf8(text); bad != std::string::npos) {
    static constexpr char kHex[] = "0123456789abcdef";
    const auto byte = static_cast<unsigned char>(text[bad]);
    Fail(v, what + " is not valid UTF-8: byte 0x" + kHex[byte >> 4] + kHex[byte & 0xF] + " at byte " +
                std::to_string(bad + 1) + " of the text");
  }
  return text;
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
  // A negative denominator would turn every comparison of times around.
  if (denominator <= 0.0) {
    Fail(v.GetItems()[1], what + ": the denominator must be above 0, found " + Shortest(denominator));
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

// A font by family and style, as this machine has it installed (or by its names alone
// when it does not, so that saving keeps the scene's choice).
GeData ReadFont(const JsonValue& v, const std::string& what) {
  RequireKind(v, JsonKind::OBJECT, "a font {\"family\": ..., \"style\": ...}", what);
  CheckKeys(v, {"family", "style"}, what);
  String names[2];
  const char* keys[2] = {"family", "style"};
  for (int i = 0; i < 2; ++i) {
    if (const JsonMember* m = v.Find(keys[i])) {
      names[i] = String(ReadText(m->value, what + " " + keys[i]));
    }
  }
  if (names[0].IsEmpty() && names[1].IsEmpty()) {
    return GeData(FontData());
  }
  return GeData(FontData(FontDescriptionFor(names[0], names[1])));
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
    case JsonKind::STRING: return GeData(String(ReadText(v, what)));
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
  if (members.size() == 1 && members[0].key == "font") {
    return ReadFont(members[0].value, what);
  }
  Fail(v, what + ": an object value must be a gradient {\"knots\": [...]}, {\"int64\": N}, {\"time\": [n, d]} or "
              "{\"font\": {\"family\": ..., \"style\": ...}}");
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
      return check(ReadText(v, what), v);
    case DescParamType::VECTOR:
    case DescParamType::COLOR: {
      const Vector vec = ReadVector(v, what);
      return check(Shortest(vec.x) + " " + Shortest(vec.y) + " " + Shortest(vec.z), v);
    }
    case DescParamType::GRADIENT: return ReadGradient(v, what);
    case DescParamType::BUTTON:
      // Pressing is an action, not a state: a value here could only be a mistake.
      Fail(v, what + " is a button, which has no value to give");
    case DescParamType::FONT: break;
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

Int32 ReadMode(const JsonValue& v, const std::string& what) {
  const std::string& text = RequireKind(v, JsonKind::STRING, "\"on\" or \"off\"", what).GetString();
  if (text != "on" && text != "off") {
    Fail(v, what + " must be \"on\" or \"off\", found " + Quoted(text));
  }
  return text == "on" ? MODE_ON : MODE_OFF;
}

ObjectColorProperties ReadDisplayColour(const JsonValue& v, const std::string& what) {
  RequireKind(v, JsonKind::OBJECT, "an object {\"color\": [r, g, b], \"use\": 0..2, \"xray\": false}", what);
  CheckKeys(v, {"color", "use", "xray"}, what);
  ObjectColorProperties colour;
  if (const JsonMember* m = v.Find("color")) {
    colour.color = ReadVector(m->value, what + " color");
  }
  if (const JsonMember* m = v.Find("use")) {
    const JsonValue& use = m->value;
    if (!use.IsInteger() || use.GetInteger() < 0 || use.GetInteger() > 2) {
      Fail(use, what + " use must be 0 (off), 1 (automatic) or 2 (always), found " +
                    (use.IsInteger() ? std::to_string(use.GetInteger()) : use.DescribeKind()));
    }
    colour.usecolor = static_cast<Int32>(use.GetInteger());
  }
  if (const JsonMember* m = v.Find("xray")) {
    colour.xray = RequireKind(m->value, JsonKind::BOOLEAN, "true or false", what + " xray").GetBoolean();
  }
  return colour;
}

class SceneReader {
public:
  SceneReader(BaseDocument* doc, SceneLines* lines) : doc_(doc), lines_(lines) {}

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
    const JsonMember* start = v.Find("start");
    if (start != nullptr) {
      doc_->SetMinTime(ReadTime(start->value, "document start"));
    }
    const JsonMember* end = v.Find("end");
    if (end != nullptr) {
      doc_->SetMaxTime(ReadTime(end->value, "document end"));
    }
    if (doc_->GetMinTime().Get() > doc_->GetMaxTime().Get()) {
      const Int32 fps = doc_->GetFps();
      Fail(start != nullptr ? start->line : (end != nullptr ? end->line : v.GetLine()),
           "document start (frame " + std::to_string(doc_->GetMinTime().GetFrame(fps)) + ") is after its end (frame " +
               std::to_string(doc_->GetMaxTime().GetFrame(fps)) + ")");
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
    CheckKeys(v,
              {"type", "name", "enabled", "position", "rotation", "scale", "editor_mode", "render_mode",
               "display_color", "parameters", "children"},
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
      op->SetName(String(ReadText(name->value, "\"name\" of a " + typeLabel)));
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
    if (const JsonMember* m = v.Find("editor_mode")) {
      op->SetEditorMode(ReadMode(m->value, "\"editor_mode\" of " + label));
    }
    if (const JsonMember* m = v.Find("render_mode")) {
      op->SetRenderMode(ReadMode(m->value, "\"render_mode\" of " + label));
    }
    if (const JsonMember* m = v.Find("display_color")) {
      const ObjectColorProperties colour = ReadDisplayColour(m->value, "\"display_color\" of " + label);
      op->SetColorProperties(&colour);
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
      if (lines_ != nullptr) {
        lines_->parameters[{op, id}] = m.line;
      }
    }
  }

  BaseDocument* doc_;
  SceneLines* lines_;
};

BaseDocument* ReadScene(const JsonValue& root, SceneLines* lines) {
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
  SceneReader reader(guard.doc, lines);
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

}  // namespace

Int32 SceneLines::Find(const BaseList2D* op, Int32 id) const {
  const auto it = parameters.find({op, id});
  return it == parameters.end() ? 0 : it->second;
}

String SceneError::Format() const {
  const std::string name = file.IsPopulated() ? file.GetStd() : std::string("scene");
  const std::string where = line > 0 ? name + ":" + std::to_string(line) : name;
  return String(where + ": " + message.GetStd());
}
BaseDocument* SceneFromJson(std::string_view text, const String& fileName, SceneError* error, SceneLines* lines) {
  if (lines != nullptr) {
    lines->parameters.clear();
  }
  try {
    JsonError jsonError;
    const std::optional<JsonValue> root = ReadJson(text, &jsonError);
    if (!root) {
      SetError(error, fileName, jsonError.line,
               jsonError.message + " (column " + std::to_string(jsonError.column) + ")");
      return nullptr;
    }
    return ReadScene(*root, lines);
  } catch (const LoadFailure& failure) {
    SetError(error, fileName, failure.line, failure.message);
  } catch (const std::bad_alloc&) {
    SetError(error, fileName, 0, "not enough memory to load the scene");
  }
  return nullptr;
}

BaseDocument* LoadScene(const Filename& path, SceneError* error, SceneLines* lines) {
  const String name = path.GetString();
  // Windows refuses to open a folder at all, with a reason that does not say so.
  std::error_code folderCheck;
  if (std::filesystem::is_directory(path.GetPath(), folderCheck)) {
    SetError(error, name, 0, "is a folder, not a scene file");
    return nullptr;
  }
  const int fd = OpenFileForReading(path);
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
  return SceneFromJson(text, name, error, lines);
}
