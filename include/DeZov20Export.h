// SPDX-License-Identifier: MIT
// Export macro for the DeZov20 shared library.
#ifndef DEZOV20_EXPORT_H
#define DEZOV20_EXPORT_H

#if defined(DEZOV20_STATIC)
#define DEZOV20_API
#elif defined(_WIN32)
#if defined(DEZOV20_BUILDING)
#define DEZOV20_API __declspec(dllexport)
#else
#define DEZOV20_API __declspec(dllimport)
#endif
#else
#define DEZOV20_API __attribute__((visibility("default")))
#endif

#endif  // DEZOV20_EXPORT_H
