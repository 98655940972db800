// printf-style formatting into a std::string, for the fixed texts of the log,
// the debug output and the user.
#ifndef QUILLOMAT_CAPTURE_FORMATTEXT_H
#define QUILLOMAT_CAPTURE_FORMATTEXT_H

#include <cstdarg>
#include <cstdio>
#include <string>

inline std::string formatText(const char *format, ...) __attribute__((format(printf, 1, 2)));

inline std::string formatText(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<size_t>(length));
    }
    va_end(args);
    return text;
}

#endif
