// What writing and reading scene files share: the format's keys and frame-rate range,
// and the names object types are saved under. Internal to the host's scene files; the
// public interface is host/scene_file.h.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/core/types.h"

namespace scene_format {

inline constexpr const char* kVersionKey = "vantelle_scene";
inline constexpr Int32 kMinFps = 1;
inline constexpr Int32 kMaxFps = 1000;

// The name a type is saved under; empty for a type known only by its number.
std::string TypeName(Int32 type);

// For messages: the name, or the number where there is none.
std::string TypeLabel(Int32 type);

// Whether objects of `type` can be allocated: a built-in type or a registered plug-in.
Bool IsLoadableType(Int32 type);

// The type saved under `name`: a description's type name or a built-in name.
std::optional<Int32> TypeByName(std::string_view name);

// Every type name a scene may use, for messages.
std::string KnownTypes();

std::string Quoted(std::string_view text);

std::string ErrnoText(int code);

}  // namespace scene_format
