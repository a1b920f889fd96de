#pragma once
#include <cstddef>
#include <string>

extern const char kTitlePrefix[];  // "Movara running on "

// The main window's title from what GetComputerObjectNameA(NameSamCompatible)
// gave: `name` is its buffer of `capacity` characters and `reportedSize` the
// size it reported, which counts the terminating zero. The text keeps
// reportedSize - 2 characters of the name, so the "$" that ends a computer
// account name is dropped ("CORP\PC1$" gives "Movara running on CORP\PC1").
// A failed call gives the prefix alone.
std::string TitleLineText(bool callSucceeded, const char* name, std::size_t capacity, unsigned long reportedSize);

// Picks the tool folder from the start directory: its short form when that
// fits the folder's buffer of `capacity` characters (terminator included),
// else the long form when that fits, else empty (no usable tool folder).
std::string ChooseToolFolder(const std::string& longForm, const std::string& shortForm, bool shortFormOk,
                             std::size_t capacity);
