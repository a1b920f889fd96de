#include "local/ExportFiles.h"

#include <windows.h>

#include <cstdio>
#include <new>

#include "remote/FileBytes.h"

int ConvertExportFile(ConverterKind kind, const std::string& inputPath, const std::string& outputPath,
                      TProblem& problem, bool ownerless, const char* openFailureLine)
{
    std::string text;
    try {
        FilePtr input(std::fopen(inputPath.c_str(), "rb"));
        if (!input) {
            if (openFailureLine)
                OutputDebugStringA(openFailureLine);
            return 1;
        }
        bool read = ReadWholeFile(input.get(), text);
        input.reset();  // closed before the output is opened
        if (!read)
            return Fail(problem, "The file " + inputPath + " cannot be read.", "Problem", !ownerless), 1;
        text = ConvertExportBytes(kind, text);
    } catch (const std::bad_alloc&) {
        Fail(problem, "There is not enough memory to convert " + inputPath, "Problem", !ownerless);
        return 1;
    }

    std::FILE* output = std::fopen(outputPath.c_str(), "wb");
    if (!output) {
        Fail(problem, "open didnt happen: " + outputPath, "Error", !ownerless);
        return 1;
    }
    bool written = text.empty() || std::fwrite(text.data(), 1, text.size(), output) == text.size();
    if (std::fclose(output) != 0)
        written = false;
    if (!written) {
        Fail(problem, "The file " + outputPath + " could not be written in full (is the disk full?).", "Problem",
             !ownerless);
        return 1;
    }
    return 0;
}

int ConvertPrtToPrxFile(const std::string& inputPath, const std::string& outputPath, TProblem& problem)
{
    return ConvertExportFile(ConverterKind::PrtToPrx, inputPath, outputPath, problem);
}

int ConvertPrtToRegFile(const std::string& inputPath, const std::string& outputPath, TProblem& problem)
{
    return ConvertExportFile(ConverterKind::PrtToReg, inputPath, outputPath, problem);
}

int ConvertToPrxFile(const std::string& inputPath, const std::string& outputPath, TProblem& problem)
{
    return ConvertExportFile(ConverterKind::ToPrx, inputPath, outputPath, problem, false,
                             "ConvertToPrxFile Open failed.");
}

int ConvertRemoteToRegFile(const std::string& inputPath, const std::string& outputPath, TProblem& problem)
{
    return ConvertExportFile(ConverterKind::RemoteToReg, inputPath, outputPath, problem, true);
}
