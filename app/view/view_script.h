// A scripted session of the interactive view: input events as a user makes them and checks
// of what follows, one per line, so that a test reads like the session it replays.
//
//   # a comment; blank lines are skipped
//   hover handle 0             the mouse over the first plot's handle 0
//   hover none                 the mouse over empty space
//   drag handle 0 to 60 0 0    press on handle 0, move to where the point (60, 0, 0)
//                              is seen, in steps, and let go
//   orbit 40 10 / pan 20 0 / zoom 2    the camera, in pixels of mouse travel or wheel steps
//   key ctrl+z                 a key with modifiers (ctrl, shift), e.g. f, f2, ctrl+s
//   edit NAME = TEXT           types TEXT into the field of parameter NAME
//   press NAME                 presses the button NAME
//   answer yes|no              how the module's next questions are answered
//   frame N                    moves the timeline to frame N
//   save FILE / picture FILE / export FILE
//   screenshot FILE            the whole window, panel and all, as a PNG picture
//   select NAME                shows the object NAME in the panel
//   close                      the window's close button
//   answer-close save|discard|cancel
//   expect highlight N|none    the handle the host reports under the cursor, and its colour
//                              in the picture
//   expect NAME = VALUE        a parameter's value (numbers to 1e-6 of their size)
//   expect evaluations N       formula evaluations since the last such check
//   expect samples N           samples the plots hold
//   expect question            the module asked something since the last such check
//   expect saved-picture FILE  the scene FILE, loaded and drawn anew, looks exactly like the
//                              view (from its camera, without the cursor's highlight)
//   expect asking-to-close / expect closed / expect unsaved / expect saved
//
// Parameters are those of the first object in the document that has one of that name.
#pragma once

#include <string>

namespace vantelle::app {

class ViewModel;
class ViewWindow;

// Runs the script's lines against the open window, drawing a frame after each. Returns
// the number of failed checks; each failure, and the first line that cannot be read
// (which ends the session), is reported on stderr as "FILE:LINE: message".
int RunViewScript(ViewWindow& window, ViewModel& model, const std::string& file);

}  // namespace vantelle::app
