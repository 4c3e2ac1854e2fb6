// Text at the Windows API's edge: its UTF-16 and the UTF-8 the rest of the host keeps.
#pragma once

#include <windows.h>

#include <string>

// UTF-8 to UTF-16 and back; invalid sequences become U+FFFD.
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);

// The system's message for an error code of GetLastError, in UTF-8, without the line end.
std::string WindowsErrorText(DWORD code);
