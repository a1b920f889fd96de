#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

// A property that does not hold ends the run like a sanitizer report, so that
// libFuzzer keeps the input as a crash file.
#define FUZZ_CHECK(cond, what)                                                              \
    do {                                                                                    \
        if (!(cond)) {                                                                      \
            std::fprintf(stderr, "property failed: %s\n  %s:%d: %s\n", what, __FILE__,      \
                         __LINE__, #cond);                                                  \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)

// Compares two byte strings and shows both when they differ.
#define FUZZ_CHECK_EQ(actual, expected, what)                                               \
    do {                                                                                    \
        const std::string& fuzzActual = (actual);                                           \
        const std::string& fuzzExpected = (expected);                                       \
        if (fuzzActual != fuzzExpected) {                                                   \
            FuzzDump("actual", fuzzActual);                                                 \
            FuzzDump("expected", fuzzExpected);                                             \
            FUZZ_CHECK(fuzzActual == fuzzExpected, what);                                   \
        }                                                                                   \
    } while (0)

// The bytes as a C string literal, for the report that precedes a failed check.
inline void FuzzDump(const char* label, const std::string& bytes)
{
    std::fprintf(stderr, "%s (%zu bytes): \"", label, bytes.size());
    const std::size_t shown = bytes.size() < 600 ? bytes.size() : 600;
    for (std::size_t i = 0; i < shown; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '\\' || c == '"')
            std::fprintf(stderr, "\\%c", c);
        else if (c >= 0x20 && c < 0x7F)
            std::fputc(c, stderr);
        else
            std::fprintf(stderr, "\\x%02x\"\"", c);
    }
    std::fprintf(stderr, "\"%s\n", shown < bytes.size() ? " ..." : "");
}
