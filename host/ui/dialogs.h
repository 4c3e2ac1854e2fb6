// Dialogs and opening files with the system. A host without windows answers them through
// handlers that its application installs (a terminal prompt, --yes/--no, a test script).
#pragma once

#include <functional>

#include "host/files/files.h"

// Asks a yes/no question; true only for Yes.
Bool QuestionDialog(const String& text);
// Shows a message.
void MessageDialog(const String& text);
// Opens a file with the system's application for it. False when it cannot be started.
Bool GeExecuteFile(const Filename& path);

using QuestionHandler = std::function<Bool(const String&)>;
using MessageHandler = std::function<void(const String&)>;
using ExecuteFileHandler = std::function<Bool(const Filename&)>;

// Installs the answers; a null handler restores the default. By default a question is
// answered No, a message is written to the standard error, and a file is opened with
// the system's viewer for its kind (see host/system/system_viewer.h).
void SetQuestionHandler(QuestionHandler handler);
void SetMessageHandler(MessageHandler handler);
void SetExecuteFileHandler(ExecuteFileHandler handler);
