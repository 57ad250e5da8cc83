// The one place that includes the Windows headers.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
// The names below are the ones the Windows headers read, reserved names
// though they are. Declarations go up to Vista; newer calls are looked up at
// run time.
#ifndef _UNICODE
#define _UNICODE  // NOLINT(bugprone-reserved-identifier)
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // NOLINT(bugprone-reserved-identifier)
#endif
#ifndef _WIN32_IE
#define _WIN32_IE 0x0600  // NOLINT(bugprone-reserved-identifier)
#endif

#include <windows.h>
#include <wincrypt.h>  // CryptGenRandom, left out by WIN32_LEAN_AND_MEAN
