#include "host/files/resource.h"

#include <nlohmann/json.hpp>

Bool GeResource::Init(const Filename& folder) {
  if (initialised_) {
    return loaded_;
  }
  initialised_ = true;
  folder_ = folder;
  std::string text;
  if (!ReadTextFile(folder + Filename("strings.json"), text)) {
    return false;
  }
  const nlohmann::json doc = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!doc.is_object() || !doc.contains("strings") || !doc["strings"].is_array()) {
    return false;
  }
  std::map<Int32, String> strings;
  for (const nlohmann::json& entry : doc["strings"]) {
    if (!entry.is_object() || !entry.contains("id") || !entry["id"].is_number_integer() || !entry.contains("text") ||
        !entry["text"].is_string()) {
      return false;
    }
    const auto id = entry["id"].get<std::int64_t>();
    if (id < LIMIT_MIN_INT32 || id > LIMIT_MAX_INT32) {
      return false;
    }
    strings[static_cast<Int32>(id)] = String(entry["text"].get<std::string>());
  }
  strings_ = std::move(strings);
  loaded_ = true;
  return true;
}

String GeResource::LoadString(Int32 id) const {
  const auto it = strings_.find(id);
  return it != strings_.end() ? it->second : String();
}

void GeResource::Free() {
  strings_.clear();
  initialised_ = false;
  loaded_ = false;
  folder_ = Filename();
}
