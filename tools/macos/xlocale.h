/* Stands in for the macOS SDK's <xlocale.h> when the module's sources are checked with
   clang for arm64-apple-macos on Linux, over libc++ and glibc's arm64 headers: what
   libc++ asks of it, declared only (nothing is linked). */
#include <locale.h>
#include <stddef.h>
#include <ctype.h>
#undef isxdigit_l
#undef isdigit_l
#define LC_C_LOCALE ((locale_t)0)
#ifdef __cplusplus
extern "C" {
#endif
int isxdigit_l(int, locale_t);
int isdigit_l(int, locale_t);
int sscanf_l(const char*, locale_t, const char*, ...);
int snprintf_l(char*, size_t, locale_t, const char*, ...);
int asprintf_l(char**, locale_t, const char*, ...);
#ifdef __cplusplus
}
#endif
