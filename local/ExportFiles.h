#pragma once
#include <windows.h>

#include <string>

#include "local/ExportConverters.h"

class TProDlg;

// Reads one export file whole, rewrites it and writes the result; 0 on
// success, 1 on failure. A missing input fails silently (openFailureLine, if
// any, goes to the debugger); an output that cannot be written is reported in
// a message box owned by `owner` (or by no window).
int ConvertExportFile(ConverterKind kind, HWND owner, const std::string& inputPath, const std::string& outputPath,
                      const char* openFailureLine = nullptr);

int ConvertPrtToPrxFile(const TProDlg& state, const std::string& inputPath, const std::string& outputPath);
int ConvertPrtToRegFile(const TProDlg& state, const std::string& inputPath, const std::string& outputPath);
int ConvertToPrxFile(const TProDlg& state, const std::string& inputPath, const std::string& outputPath);
