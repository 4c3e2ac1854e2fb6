// Evaluating a document at one frame or over a range of frames, and writing what it shows
// as glTF: one file for one frame, an animated file (or one file per frame when the
// topology changes) for a range.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "app/gltf_compress.h"
#include "app/gltf_model.h"
#include "app/render/picture.h"
#include "app/session.h"

namespace CLI {
class App;
}

namespace vantelle::app {

// --frame F or --frames A:B as the user gave them.
struct FrameOptions {
  Int32 frame = 0;
  bool hasFrame = false;
  std::string range;  // "A:B"; empty when not given
};

// Adds --frame and --frames (mutually exclusive) to a command.
void AddFrameOptions(CLI::App& command, FrameOptions& options);

// Adds --compress (quantised) and --compress=meshopt (quantised and packed) to a command;
// `value` is empty when it is not given.
void AddCompressOption(CLI::App& command, std::string& value);
// What --compress asked for. BadInput when it is given for an output that is not glTF.
GlbCompression ResolveCompression(const std::string& value, const std::string& output);

struct FrameRange {
  Int32 first = 0;
  Int32 last = 0;
  bool isRange = false;  // --frames: several frames, animated output
  Int32 Count() const { return last - first + 1; }
};

// The frames to evaluate: the range, the single frame, or `currentFrame` when neither
// was given. BadInput for malformed or reversed ranges and for ranges of more than
// 100000 frames.
FrameRange ResolveFrames(const FrameOptions& options, Int32 currentFrame);

struct FramesOutcome {
  Session::EvaluationCost last;  // the last frame's evaluation
  double seconds = 0.0;          // all frames
  Int64 evaluations = 0;         // all frames
  Int64 failures = 0;            // all frames
  Int32 frames = 0;
  bool animated = false;         // one file that animates
  std::vector<std::string> files;  // what was written
  // Why a range went into one file per frame; empty when it did not.
  std::string perFrameReason;
  // What the files could not hold, the most of any frame per object.
  std::vector<DroppedGeometry> dropped;
  // The least and the largest value each plot object reached over all frames evaluated.
  struct ValueRange {
    Float min = 0.0;
    Float max = 0.0;
  };
  std::map<const BaseObject*, ValueRange> values;
};

// "2601 polygons of "Mesh" and 6 lines of "Cage"".
std::string DescribeDropped(const std::vector<DroppedGeometry>& dropped);

// What to do when a formula of the document cannot be read or has no value anywhere.
enum class FormulaFaults {
  kRefuse,  // a BadInput naming the formula, before anything is written
  kReport,  // warnings on stderr; the summary shows them
};

// Evaluates every frame in order (as a host plays back: time and frame advance, and time
// formulas sample again), and writes `output` when it is not empty: a picture as
// `picture` says when it ends in .png (for a range, one per frame: f_0000.png, ...),
// otherwise glTF, compressed as `compression` says. Evaluations for a file run as external rendering. A progress bar shows
// on a terminal for long runs. Formulas that cannot be read are found after the first
// frame, and treated as `faults` says; geometry the files cannot hold is left out with a
// warning.
FramesOutcome EvaluateFrames(Session& session, const FrameRange& frames, const std::string& output,
                             const PictureSettings& picture = PictureSettings(),
                             FormulaFaults faults = FormulaFaults::kRefuse,
                             GlbCompression compression = GlbCompression::kNone);

}  // namespace vantelle::app
