#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

// A property that does not hold ends the run like a sanitizer report, so that
// libFuzzer keeps the input as a crash file.
inline void FuzzCheck(bool holds, const char* what, const std::string& actual, const std::string& expected)
{
    if (holds)
        return;
    std::fprintf(stderr, "property failed: %s\n  actual %zu bytes, expected %zu bytes\n", what, actual.size(),
                 expected.size());
    std::abort();
}
