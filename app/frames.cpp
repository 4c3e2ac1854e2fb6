#include "app/frames.h"

#include <charconv>
#include <iostream>

#include <CLI/CLI.hpp>

#include "app/app_error.h"
#include "app/gltf_animation.h"
#include "app/gltf_export.h"
#include "app/progress.h"
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

bool ParseInt(std::string_view text, Int32& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && !text.empty();
}

}  // namespace

void AddFrameOptions(CLI::App& command, FrameOptions& options) {
  CLI::Option* frame = command.add_option("--frame", options.frame, "Evaluate at this frame (may be negative)")
                           ->type_name("F")
                           ->each([&options](const std::string&) { options.hasFrame = true; });
  command.add_option("--frames", options.range, "Evaluate every frame from A to B; with -o, an animated file")
      ->type_name("A:B")
      ->excludes(frame);
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

FramesOutcome EvaluateFrames(Session& session, const FrameRange& frames, const std::string& output) {
  FramesOutcome outcome;
  const bool writes = !output.empty();
  if (writes && frames.Count() > kMaxRecordedFrames) {
    throw BadInput("--frames: at most " + std::to_string(kMaxRecordedFrames) + " frames can go into one file");
  }
  const ExternalRendering rendering(writes);
  GltfFrameRecorder recorder;
  Progress progress(frames.isRange ? "frames" : "evaluating", frames.Count());
  for (Int64 frame = frames.first; frame <= frames.last; ++frame) {
    session.SetFrame(static_cast<Int32>(frame));
    outcome.last = session.Evaluate();
    outcome.seconds += outcome.last.seconds;
    outcome.evaluations += outcome.last.evaluations;
    outcome.failures += outcome.last.failures;
    ++outcome.frames;
    if (writes && frames.isRange) {
      recorder.Capture(session.GetDocument());
    }
    progress.Step();
  }
  // A formula without a value anywhere (a typo, "1/0") would quietly plot a flat sheet.
  if (outcome.evaluations > 0 && outcome.failures == outcome.evaluations) {
    throw BadInput("the formula has no value at any sample (check its syntax)");
  }
  if (outcome.failures > 0) {
    std::cerr << "vantelle: warning: the formula has no value at " << outcome.failures << " of "
              << outcome.evaluations << " samples; they are plotted at 0\n";
  }
  if (!writes) {
    return outcome;
  }
  const Filename path{String(output)};
  if (!frames.isRange) {
    WriteGlb(session.GetDocument(), path);
    outcome.files.push_back(output);
  } else if (recorder.FitsOneFile()) {
    recorder.WriteAnimated(path, session.GetDocument()->GetFps());
    outcome.animated = recorder.HasMotion();
    outcome.files.push_back(output);
  } else {
    outcome.files = recorder.WriteFrames(path);
  }
  return outcome;
}

}  // namespace vantelle::app
