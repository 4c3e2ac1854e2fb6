// Parameter values as people type them: on a command line, in a scene file. Parsing
// checks the text against the parameter's description (type, limits, popup values), so
// a bad value is refused with a message instead of reaching the object.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/files/description.h"

// The value `text` stands for, as `param` stores it; nothing with *error set to a
// message that starts with the parameter's name ("SURFO_RESOLUTION: 5000 is above the
// maximum 2000") when the text is not a valid value.
//   int32     an integer; for a popup also a label (case-insensitive) or "N (Label)",
//             and the number must be one of the popup values
//   float     a finite decimal number ("1.5", "-2e3")
//   bool      true/false, 1/0, yes/no, on/off (case-insensitive)
//   string    the text as it is, at most the description's maxlength characters
//   vector, color   three numbers separated by commas and/or spaces ("1,0.5,0", "1 0.5 0")
// Gradients, fonts and buttons have no text form and are always refused. Surrounding
// white space is ignored except for strings.
std::optional<GeData> ParseParameterValue(const DescParameter& param, std::string_view text, String* error);

// The value as text to show, which ParseParameterValue reads back to the same value for
// the types it accepts. Floats use the shortest text that round-trips; popups show
// "1 (Fit)"; vectors "x, y, z"; gradients "gradient (3 knots)".
std::string FormatParameterValue(const DescParameter& param, const GeData& value);

// The name of the resource's parameter that `name` most likely misspells, or nothing
// when none is close. For "did you mean" hints.
std::optional<std::string> FindClosestParameterName(const DescriptionResource& resource, std::string_view name);
