#include "host/files/scene_file.h"

#include <cmath>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "host/core/font_data.h"
#include "host/core/gradient.h"
#include "host/files/description.h"
#include "host/files/file_replacement.h"
#include "host/files/json_reader.h"
#include "host/files/scene_format.h"

namespace {

using scene_format::ErrnoText;
using scene_format::kMaxFps;
using scene_format::kMinFps;
using scene_format::kVersionKey;
using scene_format::Quoted;
using scene_format::TypeLabel;
using scene_format::TypeName;

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

// By family and style only: the file a font came from is this machine's business.
JsonValue FontJson(const FontData& font) {
  const BaseContainer description = font.GetFont();
  JsonValue names = JsonValue::MakeObject();
  if (const GeData* family = description.GetDataPointer(FONTDESC_FAMILY)) {
    names.Set("family", JsonValue::MakeString(family->GetString().GetStd()));
  }
  if (const GeData* style = description.GetDataPointer(FONTDESC_STYLE)) {
    names.Set("style", JsonValue::MakeString(style->GetString().GetStd()));
  }
  JsonValue wrapped = JsonValue::MakeObject();
  wrapped.Set("font", std::move(names));
  return wrapped;
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
      if (const FontData* font = data.GetCustomData<FontData>()) {
        return FontJson(*font);
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
  // Visibility and display colour only where they are set, as most objects leave them.
  if (op->GetEditorMode() != MODE_UNDEF) {
    obj.Set("editor_mode", JsonValue::MakeString(op->GetEditorMode() == MODE_OFF ? "off" : "on"));
  }
  if (op->GetRenderMode() != MODE_UNDEF) {
    obj.Set("render_mode", JsonValue::MakeString(op->GetRenderMode() == MODE_OFF ? "off" : "on"));
  }
  ObjectColorProperties colour;
  op->GetColorProperties(&colour);
  if (colour != ObjectColorProperties{}) {
    JsonValue display = JsonValue::MakeObject();
    display.Set("color", VectorJson(colour.color, "the display colour of " + label));
    display.Set("use", JsonValue::MakeInteger(colour.usecolor));
    display.Set("xray", JsonValue::MakeBoolean(colour.xray));
    obj.Set("display_color", std::move(display));
  }

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

void SetText(String* error, std::string message) {
  if (error != nullptr) {
    *error = String(std::move(message));
  }
}

}  // namespace

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
  FileWriteError problemWriting;
  std::unique_ptr<FileReplacement> file = FileReplacement::Open(path, &problemWriting);
  if (file == nullptr || !file->Write(text.data(), text.size(), &problemWriting) || !file->Commit(&problemWriting)) {
    SetText(error, target + ": cannot write the scene: " + problemWriting.message.GetStd());
    return false;
  }
  return true;
}
