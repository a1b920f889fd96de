#pragma once

#include <string>

#include "local/ExportConverters.h"
#include "local/JobReport.h"

// Reads one export file whole, rewrites it and writes the result; 0 on
// success, 1 on failure. A missing input fails silently (openFailureLine, if
// any, goes to the debugger); an output that cannot be written is a problem
// that names it, owned by the main window unless ownerless.
int ConvertExportFile(ConverterKind kind, const std::string& inputPath, const std::string& outputPath,
                      TProblem& problem, bool ownerless = false, const char* openFailureLine = nullptr);

int ConvertPrtToPrxFile(const std::string& inputPath, const std::string& outputPath, TProblem& problem);
int ConvertPrtToRegFile(const std::string& inputPath, const std::string& outputPath, TProblem& problem);
int ConvertToPrxFile(const std::string& inputPath, const std::string& outputPath, TProblem& problem);
int ConvertRemoteToRegFile(const std::string& inputPath, const std::string& outputPath, TProblem& problem);
