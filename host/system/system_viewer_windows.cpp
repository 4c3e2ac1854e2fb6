#include <windows.h>
#include <shellapi.h>

#include "host/system/system_viewer.h"

Bool OpenWithSystemViewer(const Filename& file) {
  // The shell starts the viewer registered for the file's kind and returns at once;
  // values above 32 mean it did.
  const HINSTANCE result = ShellExecuteW(nullptr, L"open", file.GetPath().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}
