// Scene files: the host saves a document (time settings, objects with their names,
// states, transforms, parameter containers and children) as versioned JSON that people
// can read and edit, and reads it back. Modules store nothing of their own: loading
// allocates each object (so its Init writes the defaults) and writes the saved values
// straight into its container, sending it no messages, as a host restores a scene.
//
//   {
//     "vantelle_scene": 1,
//     "document": {"fps": 30, "time": [0, 30], "start": [0, 1], "end": [90, 30]},
//     "objects": [
//       {"type": "Osurfo", "name": "Plot", "enabled": true,
//        "position": [0, 0, 0], "rotation": [0, 0, 0], "scale": [1, 1, 1],
//        "parameters": {"SURFO_RESOLUTION": 50, "SURFO_SIZE": 200.0, "10099": 2.5},
//        "children": []},
//       {"type": "Oextrude", "name": "Label", "render_mode": "on",
//        "display_color": {"color": [1, 1, 1], "use": 1, "xray": false},
//        "parameters": {"1009": [0, 0, 0.1]},
//        "children": [{"type": "Osplinetext", "parameters": {"2111": "-180.0", "2112": 1,
//          "2115": 7.0, "2117": {"font": {"family": "Liberation Sans", "style": "Regular"}}}}]}
//     ]
//   }
//
// Times are [numerator, denominator]. A type is named by its description resource's type
// name or a built-in name (Onull, Opolygon, Ospline, Ocube, Osphere, Oplatonic,
// Opyramid, Oextrude, Osplinetext), otherwise given as its number. Parameters appear in
// container order, by their description name, typed by the description (bool, integer,
// float, [x, y, z], string, gradient {"mode", "knots"}). IDs without a description are
// keyed by the number and typed by the JSON value: integer Int32, float Float,
// true/false Bool, string, [x, y, z] Vector, {"knots": ...} Gradient, null an empty
// entry, and the wrappers {"int64": N}, {"time": [n, d]} and {"font": {"family": ...,
// "style": ...}}. A font is saved by its names only, never by its file, and loads as the
// face of those names installed here (or by the names alone, which text then matches as
// best it can).
//
// Only "vantelle_scene" and each object's "type" are required. "editor_mode" and
// "render_mode" ("on" or "off") and "display_color" appear only where an object sets
// them. Point geometry, tags and caches are not part of the file.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "host/files/files.h"
#include "host/scene/document.h"

inline constexpr Int32 SCENE_FORMAT_VERSION = 1;
// Objects nested deeper than this do not fit under the reader's nesting cap.
inline constexpr Int32 SCENE_MAX_OBJECT_DEPTH = 29;

struct SceneError {
  // BAD_INPUT: the file named by the user is missing, unreadable or not a valid scene.
  // IO: writing failed.
  enum class Kind { BAD_INPUT, IO } kind = Kind::BAD_INPUT;
  String file;
  Int32 line = 0;  // 0 when the problem has no line
  String message;
  // "FILE:LINE: message", or "FILE: message" without a line.
  String Format() const;
};

// Where the parameters of a loaded scene stood in its file, so that a problem found only
// when the scene is evaluated (a formula that does not parse) can still name its line.
// Keyed by object, so valid while the document holds its objects.
struct SceneLines {
  std::map<std::pair<const BaseList2D*, Int32>, Int32> parameters;  // (object, ID) -> line
  // The line of a parameter, or 0 when the file did not give it.
  Int32 Find(const BaseList2D* op, Int32 id) const;
};

// The document as scene text (two-space indents, a final newline). Empty, with *error
// set, when a value cannot be written (a nested container, an unknown custom data type)
// or the objects nest deeper than SCENE_MAX_OBJECT_DEPTH.
std::string SceneToJson(const BaseDocument* doc, String* error = nullptr);

// Writes the scene through FileReplacement (file_replacement.h): an existing file is
// replaced whole or left untouched, a link is followed, a device is written in place, and
// no temporary file is left behind. False with *error set on failure.
Bool SaveScene(const BaseDocument* doc, const Filename& path, String* error);

// A new document read from scene text, or null with *error naming `fileName`, the line
// and the problem (unknown types or parameters, wrong value types, values outside the
// description's limits or popup, malformed JSON). Nothing is left allocated on failure.
// With `lines`, also where each parameter stood.
BaseDocument* SceneFromJson(std::string_view text, const String& fileName, SceneError* error,
                            SceneLines* lines = nullptr);

// Reads and loads a scene file; a missing or unreadable file is a BAD_INPUT error.
BaseDocument* LoadScene(const Filename& path, SceneError* error, SceneLines* lines = nullptr);
