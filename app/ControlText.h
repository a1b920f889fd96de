#pragma once
#include <windows.h>

#include <string>

// Texts of controls read whole, into buffers sized from the control.
std::string WindowText(HWND window);
// The entry's text, or empty when the list has no such entry.
std::string ListEntryText(HWND list, int index);
