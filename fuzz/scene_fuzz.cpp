#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/files/description.h"
#include "host/files/scene_file.h"
#include "host/scene/registry.h"

namespace {

// Stands in for the module's objects: Init writes the description's defaults, as theirs
// do, so loading sees the containers a real scene would.
class DefaultsObject : public ObjectData {
public:
  static NodeData* Alloc() { return new DefaultsObject(); }
  Bool Init(GeListNode* node) override {
    if (const DescriptionResource* resource = FindDescriptionResource(node->GetType())) {
      for (const DescParameter& p : resource->parameters) {
        if (!p.defaultValue.IsNil()) {
          static_cast<BaseList2D*>(node)->GetDataInstance()->SetData(p.id, p.defaultValue);
        }
      }
    }
    return true;
  }
};

struct ModuleType {
  Int32 id;
  const char* description;
};

constexpr ModuleType kTypes[] = {
    {1055349, "osurfo"},     {1055457, "osurfomesh"},  {1055458, "osurfogrid"},
    {1055484, "osurfocage"}, {1055514, "osurfolabel"}};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  AddModuleResourceFolder(Filename(VANTELLE_SOURCE_DIR "/res"));
  for (const ModuleType& type : kTypes) {
    if (!RegisterObjectPlugin(type.id, type.description, 0, DefaultsObject::Alloc, type.description, nullptr, 0) &&
        type.id == kTypes[0].id) {
      std::fprintf(stderr, "scene_fuzz: cannot register %s from %s/res\n", type.description, VANTELLE_SOURCE_DIR);
      std::abort();
    }
  }
  return 0;
}

// Any bytes give a document or an error with a message; whatever loads must save, and
// what it saves must load back to the same text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  SceneError error;
  BaseDocument* doc = SceneFromJson(text, "fuzz.json", &error);
  if (doc == nullptr) {
    if (error.message.IsEmpty() || error.kind != SceneError::Kind::BAD_INPUT) {
      __builtin_trap();
    }
    return 0;
  }
  String saveError;
  const std::string saved = SceneToJson(doc, &saveError);
  BaseDocument::Free(doc);
  if (saved.empty()) {
    std::fprintf(stderr, "loaded but cannot save: %s\n", saveError.c_str());
    __builtin_trap();
  }
  BaseDocument* again = SceneFromJson(saved, "saved.json", &error);
  if (again == nullptr) {
    std::fprintf(stderr, "saved scene does not load: %s\n", error.Format().c_str());
    __builtin_trap();
  }
  const bool same = SceneToJson(again) == saved;
  BaseDocument::Free(again);
  if (!same) {
    __builtin_trap();
  }
  return 0;
}
