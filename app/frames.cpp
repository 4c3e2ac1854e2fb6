#include "app/frames.h"

#include <algorithm>
#include <charconv>
#include <iostream>
#include <new>
#include <optional>

#include <CLI/CLI.hpp>

#include "app/app_error.h"
#include "app/components.h"
#include "app/gltf_animation.h"
#include "app/gltf_export.h"
#include "app/output_files.h"
#include "app/progress.h"
#include "app/staged_file.h"
#include "app/terminal_text.h"
#include "app/work_estimate.h"
#include "host/scene/execution.h"

namespace vantelle::app {

namespace {

// Frames to evaluate at most; far fewer when they are kept for one animated file, which
// holds every frame in memory.
constexpr Int32 kMaxFrames = 100000;
constexpr Int32 kMaxRecordedFrames = 5000;

// Marks evaluations as being for a file, so generators build their full render quality,
// and clears the mark however the work ends.
class ExternalRendering {
public:
  explicit ExternalRendering(bool active) : active_(active) {
    if (active_) {
      SetRunning(CHECKISRUNNING::EXTERNALRENDERING, true);
    }
  }
  ~ExternalRendering() {
    if (active_) {
      SetRunning(CHECKISRUNNING::EXTERNALRENDERING, false);
    }
  }
  ExternalRendering(const ExternalRendering&) = delete;
  ExternalRendering& operator=(const ExternalRendering&) = delete;

private:
  bool active_;
};

void Warn(const std::string& message) {
  ClearProgressLine();
  std::cerr << "vantelle: warning: " << TerminalText(message) << '\n';
}

std::string Plural(Int64 count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Widens each plot's range by the values of the frame just evaluated: a summary of
// several frames reports the extremes of all of them, not of the last alone.
void AccumulateValues(BaseDocument* doc, std::map<const BaseObject*, FramesOutcome::ValueRange>& values) {
  const std::optional<ObjectKind> plot = FindObjectKind("plot");
  if (!plot) {
    return;
  }
  for (BaseObject* op : CollectObjects(doc)) {
    if (op->GetType() != plot->type) {
      continue;
    }
    BaseContainer state;
    op->Message(MSG_HOST_QUERY_STATE, &state);
    if (state.GetInt64(STATE_SAMPLE_COUNT) <= 0) {
      continue;
    }
    const Float low = state.GetFloat(STATE_MIN_VALUE);
    const Float high = state.GetFloat(STATE_MAX_VALUE);
    const auto [entry, added] = values.try_emplace(op, FramesOutcome::ValueRange{low, high});
    if (!added) {
      entry->second.min = std::min(entry->second.min, low);
      entry->second.max = std::max(entry->second.max, high);
    }
  }
}

bool ParseInt(std::string_view text, Int32& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && !text.empty();
}

}  // namespace

void AddFrameOptions(CLI::App& command, FrameOptions& options) {
  CLI::Option* frame = command.add_option("--frame", options.frame, "Evaluate at this frame (may be negative)")
                           ->type_name("F")
                           ->check(NotEmpty())
                           ->each([&options](const std::string&) { options.hasFrame = true; });
  command.add_option("--frames", options.range, "Evaluate every frame from A to B; with -o, an animated file")
      ->type_name("A:B")
      ->check(NotEmpty())
      ->excludes(frame);
}

void AddCompressOption(CLI::App& command, std::string& value) {
  const CLI::Validator known(
      [](std::string& given) {
        return given == "true" || given == "quantise" || given == "meshopt"
                   ? std::string()
                   : "--compress=" + given + ": expected --compress or --compress=meshopt";
      },
      "");
  command
      .add_flag("--compress", value,
                "Write a smaller .glb: positions, normals, texture coordinates and colours as integers "
                "(KHR_mesh_quantization, which Blender reads); =meshopt also packs them with meshoptimizer "
                "(EXT_meshopt_compression, for viewers that decode it)")
      ->type_name("[=meshopt]")
      ->check(known);
}

GlbCompression ResolveCompression(const std::string& value, const std::string& output) {
  if (value.empty()) {
    return GlbCompression::kNone;
  }
  if (output.empty() || IsPictureFile(output)) {
    throw BadInput("--compress: only a .glb file (-o FILE.glb) can be compressed");
  }
  if (value != "meshopt") {
    return GlbCompression::kQuantise;
  }
#ifndef VANTELLE_MESHOPT
  throw BadInput("--compress=meshopt: this build of vantelle has no meshoptimizer (--compress still quantises)");
#else
  return GlbCompression::kMeshopt;
#endif
}

FrameRange ResolveFrames(const FrameOptions& options, Int32 currentFrame) {
  FrameRange range;
  if (options.range.empty()) {
    range.first = range.last = options.hasFrame ? options.frame : currentFrame;
    return range;
  }
  const std::size_t colon = options.range.find(':');
  Int32 first = 0, last = 0;
  if (colon == std::string::npos || !ParseInt(std::string_view(options.range).substr(0, colon), first) ||
      !ParseInt(std::string_view(options.range).substr(colon + 1), last)) {
    throw BadInput("--frames " + options.range + ": expected A:B, two whole frame numbers");
  }
  if (last < first) {
    throw BadInput("--frames " + options.range + ": the last frame comes before the first");
  }
  if (static_cast<Int64>(last) - first + 1 > kMaxFrames) {
    throw BadInput("--frames " + options.range + ": more than " + std::to_string(kMaxFrames) + " frames");
  }
  range.first = first;
  range.last = last;
  range.isRange = true;
  return range;
}

std::string DescribeDropped(const std::vector<DroppedGeometry>& dropped) {
  std::string text;
  for (std::size_t i = 0; i < dropped.size(); ++i) {
    const DroppedGeometry& d = dropped[i];
    std::string part;
    if (d.polygons > 0) {
      part = Plural(d.polygons, "polygon", "polygons");
    }
    if (d.lines > 0) {
      part += (part.empty() ? "" : " and ") + Plural(d.lines, "line", "lines");
    }
    text += (i == 0 ? "" : (i + 1 == dropped.size() ? " and " : ", ")) + part + " of \"" + d.name + "\"";
  }
  return text;
}

namespace {

// The work of EvaluateFrames; `doing` says what it is busy with, for a failure's message.
FramesOutcome RunFrames(Session& session, const FrameRange& frames, const std::string& output,
                        const PictureSettings& picture, FormulaFaults faults, GlbCompression compression,
                        std::string& doing) {
  FramesOutcome outcome;
  const bool writes = !output.empty();
  const bool pictures = writes && IsPictureFile(output);
  if (writes && !pictures && frames.Count() > kMaxRecordedFrames) {
    throw BadInput("--frames: at most " + std::to_string(kMaxRecordedFrames) + " frames can go into one file");
  }
  CheckWorkFits(EstimateFrameCost(session), frames, writes && !pictures, AvailableMemory());
  const ExternalRendering rendering(writes);
  GltfFrameRecorder recorder;
  std::optional<PictureRenderer> painter;
  std::vector<StagedFile> staged;  // a sequence's pictures, put in place together at the end
  if (pictures) {
    painter.emplace(picture);
  }
  // Gone before the writing, which shows a bar of its own.
  std::optional<Progress> progress(std::in_place, frames.isRange ? "frames" : "evaluating", frames.Count());
  for (Int64 frame = frames.first; frame <= frames.last; ++frame) {
    doing = "evaluating frame " + std::to_string(frame);
    session.SetFrame(static_cast<Int32>(frame));
    outcome.last = session.Evaluate();
    outcome.seconds += outcome.last.seconds;
    outcome.evaluations += outcome.last.evaluations;
    outcome.failures += outcome.last.failures;
    ++outcome.frames;
    AccumulateValues(session.GetDocument(), outcome.values);
    if (frame == frames.first) {
      // A formula that cannot be read has no value anywhere; say where and why before
      // anything is written.
      for (const Session::FormulaProblem& problem : session.FindFormulaProblems()) {
        if (faults == FormulaFaults::kRefuse) {
          throw BadInput(problem.Message());
        }
        Warn(problem.Message());
      }
    }
    if (pictures && frames.isRange) {
      const std::string name = FramePictureName(output, staged.size());
      staged.emplace_back(Filename(String(name)), EncodePng(painter->Draw(session.GetDocument())));
      outcome.files.push_back(name);
    } else if (writes && frames.isRange) {
      recorder.Capture(session.GetDocument());
    }
    progress->Step();
  }
  progress.reset();
  // A formula without a value anywhere ("1/0") would quietly plot a flat sheet.
  if (outcome.evaluations > 0 && outcome.failures == outcome.evaluations) {
    const std::string message =
        "the formula has no value at any sample (a division by zero, a value out of range or outside a function's "
        "domain)";
    if (faults == FormulaFaults::kRefuse) {
      throw BadInput(message);
    }
    Warn(message);
  } else if (outcome.failures > 0) {
    Warn("the formula has no value at " + std::to_string(outcome.failures) + " of " +
         std::to_string(outcome.evaluations) + " samples; they are plotted at 0");
  }
  if (!writes) {
    return outcome;
  }
  doing = "writing " + output;
  if (pictures) {
    if (!frames.isRange) {
      staged.emplace_back(Filename(String(output)), EncodePng(painter->Draw(session.GetDocument())));
      outcome.files.push_back(output);
    }
    CommitAll(staged);
    return outcome;
  }
  const Filename path{String(output)};
  if (!frames.isRange) {
    outcome.dropped = WriteGlb(session.GetDocument(), path, compression);
    outcome.files.push_back(output);
  } else if (recorder.FitsOneFile()) {
    recorder.WriteAnimated(path, session.GetDocument()->GetFps(), compression);
    outcome.animated = recorder.HasMotion();
    outcome.files.push_back(output);
    outcome.dropped = recorder.GetDropped();
  } else {
    outcome.files = recorder.WriteFrames(path, compression);
    outcome.perFrameReason =
        "the frames differ in their objects, meshes or colours, which one animated file cannot change";
    outcome.dropped = recorder.GetDropped();
  }
  if (!outcome.dropped.empty()) {
    Warn("left out " + DescribeDropped(outcome.dropped) +
         ": their points lie beyond the range of the single-precision numbers glTF files use");
  }
  return outcome;
}

}  // namespace

FramesOutcome EvaluateFrames(Session& session, const FrameRange& frames, const std::string& output,
                             const PictureSettings& picture, FormulaFaults faults, GlbCompression compression) {
  std::string doing = "setting up";
  try {
    return RunFrames(session, frames, output, picture, faults, compression, doing);
  } catch (const std::bad_alloc&) {
    // Whatever the estimate missed; the message says where, and the run fails cleanly.
    throw Failure("out of memory while " + doing);
  }
}

}  // namespace vantelle::app
