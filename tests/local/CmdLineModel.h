#pragma once
// A model of how a command line reaches reg: cmd /C's quote handling, cmd's
// operators, and the C runtime's splitting into arguments. Shared by the
// command-text tests and their fuzz target.
#include <cstring>
#include <string>
#include <vector>

namespace cmdmodel {

using Args = std::vector<std::string>;

// What cmd /C runs of a line, by the rules "cmd /?" gives: when the text after
// /C starts with a quote, the first and the last quote of the line go. (The
// rule that keeps exactly two quotes around a program's name never applies:
// no line quotes a program.)
// False when the line does not run cmd /C.
inline bool CmdRuns(const std::string& line, std::string& command)
{
    const std::string prefix = "cmd /C";
    if (line.compare(0, prefix.size(), prefix) != 0)
        return false;
    std::string rest = line.substr(prefix.size());
    rest.erase(0, rest.find_first_not_of(" \t"));
    if (!rest.empty() && rest[0] == '"') {
        const std::string::size_type last = rest.rfind('"');
        if (last > 0)
            rest.erase(last, 1);
        rest.erase(0, 1);
    }
    command = rest;
    return true;
}

// cmd's own reading: a quote toggles quoting, whatever stands before it.
inline bool OperatorOutsideQuotes(const std::string& command)
{
    bool quoted = false;
    for (char c : command) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && std::strchr("&|<>()^", c) != nullptr)
            return true;
    }
    return false;
}

// The C runtime's splitting into arguments (as CommandLineToArgvW): blanks and
// tabs outside quotes separate; 2n backslashes before a quote give n and the
// quote toggles, 2n+1 give n and a literal quote; other backslashes are literal.
inline Args SplitArguments(const std::string& s)
{
    Args args;
    std::string::size_type i = 0;
    const std::string::size_type n = s.size();
    for (;;) {
        while (i < n && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        if (i == n)
            return args;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || (s[i] != ' ' && s[i] != '\t'))) {
            if (s[i] == '\\') {
                std::string::size_type slashes = 0;
                while (i < n && s[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && s[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(slashes, '\\');
                }
            } else if (s[i] == '"') {
                quoted = !quoted;
                ++i;
            } else {
                arg += s[i++];
            }
        }
        args.push_back(arg);
    }
}

}  // namespace cmdmodel
