#pragma once

#include <cstdio>
#include <memory>
#include <string>

// Closes a C stream when it goes out of scope, also when a read runs out of
// memory half-way.
struct FileCloser {
    void operator()(std::FILE* file) const
    {
        if (file)
            std::fclose(file);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The whole content of a file opened in binary mode, read in one go sized by
// the file's length.
inline bool ReadWholeFile(std::FILE* file, std::string& bytes)
{
    if (std::fseek(file, 0, SEEK_END) != 0)
        return false;
    const long length = std::ftell(file);
    if (length < 0 || std::fseek(file, 0, SEEK_SET) != 0)
        return false;
    bytes.resize(static_cast<std::size_t>(length));
    if (!bytes.empty())
        bytes.resize(std::fread(&bytes[0], 1, bytes.size(), file));
    return true;
}
