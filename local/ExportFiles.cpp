#include "local/ExportFiles.h"

#include <cstdio>
#include <new>

#include "app/ProDlg.h"
#include "remote/FileBytes.h"

int ConvertExportFile(ConverterKind kind, HWND owner, const std::string& inputPath, const std::string& outputPath,
                      const char* openFailureLine)
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
            return 1;
        text = ConvertExportBytes(kind, text);
    } catch (const std::bad_alloc&) {
        std::string message = "There is not enough memory to convert " + inputPath;
        MessageBoxA(owner, message.c_str(), "Problem", MB_OK);
        return 1;
    }

    std::FILE* output = std::fopen(outputPath.c_str(), "wb");
    if (!output) {
        MessageBoxA(owner, "open didnt happen", "Error", MB_OK);
        return 1;
    }
    bool written = text.empty() || std::fwrite(text.data(), 1, text.size(), output) == text.size();
    if (std::fclose(output) != 0)
        written = false;
    if (!written) {
        // The message is the text that could not be written, as far as it reads as text.
        MessageBoxA(owner, text.c_str(), "Problem", MB_OK);
        return 1;
    }
    return 0;
}

int ConvertPrtToPrxFile(const TProDlg& state, const std::string& inputPath, const std::string& outputPath)
{
    return ConvertExportFile(ConverterKind::PrtToPrx, state.MainWindow(), inputPath, outputPath);
}

int ConvertPrtToRegFile(const TProDlg& state, const std::string& inputPath, const std::string& outputPath)
{
    return ConvertExportFile(ConverterKind::PrtToReg, state.MainWindow(), inputPath, outputPath);
}

int ConvertToPrxFile(const TProDlg& state, const std::string& inputPath, const std::string& outputPath)
{
    return ConvertExportFile(ConverterKind::ToPrx, state.MainWindow(), inputPath, outputPath,
                             "ConvertToPrxFile Open failed.");
}
