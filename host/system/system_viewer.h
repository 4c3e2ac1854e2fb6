// Opening a file with the application the user's system chooses for its kind (the
// manual with the PDF viewer): xdg-open on Linux, open on macOS, the shell on Windows.
#pragma once

#include "host/files/files.h"

// Hands the file to the viewer and returns without waiting for it; false when no
// viewer could be started.
Bool OpenWithSystemViewer(const Filename& file);
