// UTF-8 as the host's texts hold it: where a text read from a file stops being valid.
#pragma once

#include <cstddef>
#include <string_view>

// The length of the valid UTF-8 sequence at the start of `text`: 1 for an ASCII byte, 2
// to 4 for a longer character, 0 when there is none (an empty text, a stray continuation
// byte, a sequence cut short, overlong forms, surrogates, values beyond U+10FFFF).
std::size_t Utf8SequenceLength(std::string_view text);

// The offset of the first byte that is not part of a valid UTF-8 sequence, or npos when
// the whole text is valid.
std::size_t FindInvalidUtf8(std::string_view text);
