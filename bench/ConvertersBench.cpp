// Each benchmark times one whole job: read the export file, convert it, write
// the result. In the same iterations it also times a plain read-and-write copy
// of the same file; the counter "ratio" is the job's time over the copy's.
//
// Memory: operator new is replaced below to keep the live heap total and its
// high-water mark. The counter "peak_x" is the job's largest rise of the live
// heap over its starting level (the read buffer, the result and every buffer
// in between, file stream buffers included), divided by the file's size.

#include "local/ExportConverters.h"
#include "remote/AppList.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <new>
#include <string>

namespace {

std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};

// The block's size sits in a header of max_align_t's size, so the rest keeps
// new's alignment.
const std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t n)
{
    void* block = std::malloc(n + kHeader);
    if (!block)
        throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = n;
    const std::size_t live = liveBytes += n;
    std::size_t peak = peakBytes.load();
    while (live > peak && !peakBytes.compare_exchange_weak(peak, live)) {
    }
    return static_cast<char*>(block) + kHeader;
}

void Release(void* p) noexcept
{
    if (!p)
        return;
    void* block = static_cast<char*>(p) - kHeader;
    liveBytes -= *static_cast<std::size_t*>(block);
    std::free(block);
}

} // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace {

namespace fs = std::filesystem;

const std::size_t kMiB = 1024 * 1024;

// Length from the end position, then one read, as the tool's wrappers do.
std::string ReadWhole(const fs::path& path)
{
    std::string data;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fseek(f, 0, SEEK_END);
        data.resize(static_cast<std::size_t>(std::ftell(f)));
        std::fseek(f, 0, SEEK_SET);
        data.resize(std::fread(&data[0], 1, data.size(), f));
        std::fclose(f);
    }
    return data;
}

void WriteWhole(const fs::path& path, const std::string& data)
{
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
    }
}

std::string Units16(const std::string& ascii)
{
    std::string out;
    out.reserve(2 * ascii.size());
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

// ASCII export text repeated from blocks until it reaches size bytes in its
// file form; the reg tool's UTF-16LE form carries the byte-order mark.
std::string ExportFile(bool wide, std::size_t size, const std::function<std::string(int)>& block)
{
    std::string text = wide ? "\xFF\xFE" : "";
    const std::string header = "Windows Registry Editor Version 5.00\r\n";
    text += wide ? Units16(header) : header;
    text.reserve(size + 4096);
    for (int n = 0; text.size() < size; ++n)
        text += wide ? Units16(block(n)) : block(n);
    text.resize(size);
    return text;
}

const char* HiveOf(ConverterKind kind)
{
    switch (kind) {
    case ConverterKind::PrtToPrx:
    case ConverterKind::PrtToReg:
        return "HKEY_USERS\\user1";
    case ConverterKind::ToPrx:
        return "HKEY_CURRENT_USER";
    case ConverterKind::RemoteToReg:
        break;
    }
    return "S-1-5-21-1085031214-1563985344-725345543-1004";
}

// A printer connection as the exports show it: section line, a few strings,
// a dword and a hex value over several lines.
std::string PrinterBlock(const std::string& hive, int n)
{
    const std::string id = std::to_string(n);
    std::string s = "\r\n[" + hive + "\\Printers\\Connections\\,,srv" + id + ",prn" + id + "]\r\n" +
                    "\"Server\"=\"\\\\\\\\srv" + id + "\"\r\n" + "\"Provider\"=\"win32spl.dll\"\r\n" +
                    "\"LocalConnection\"=dword:00000001\r\n" + "\"DevMode\"=hex:";
    for (int i = 0; i < 96; ++i)
        s += (i % 24 == 23) ? "00,\\\r\n  " : "5c,";
    return s + "00\r\n";
}

// Nothing but section lines, one every 50 bytes of the file.
std::string DenseBlock(const std::string& hive, bool wide, int n)
{
    const std::size_t length = wide ? 25 : 50;
    std::string s = "[" + hive + "\\N\\" + std::to_string(n) + std::string(length, 'k');
    s.resize(length - 3);
    return s + "]\r\n";
}

std::string UninstallBlock(int n)
{
    const std::string id = std::to_string(n);
    return "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{6B2C" + id +
           "-0000-4F2A-9E8D-1A2B3C4D5E6F}]\r\n" + "\"DisplayName\"=\"Sample Viewer " + id + "\"\r\n" +
           "\"DisplayVersion\"=\"1.0." + id + "\"\r\n" + "\"Publisher\"=\"Sample Software\"\r\n" +
           "\"InstallLocation\"=\"C:\\\\Program Files\\\\Sample\\\\\"\r\n" +
           "\"UninstallString\"=\"MsiExec.exe /X{6B2C" + id + "-0000-4F2A-9E8D-1A2B3C4D5E6F}\"\r\n" +
           "\"EstimatedSize\"=dword:00001a2b\r\n" + "\"NoModify\"=dword:00000001\r\n";
}

fs::path workDir;
std::map<std::string, fs::path> inputs;

const fs::path& Input(const std::string& name, const std::function<std::string()>& make)
{
    auto it = inputs.find(name);
    if (it == inputs.end()) {
        std::string file = name;
        std::replace(file.begin(), file.end(), '/', '_');
        const fs::path path = workDir / (file + ".in");
        WriteWhole(path, make());
        it = inputs.emplace(name, path).first;
    }
    return it->second;
}

double Seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

void RunJob(benchmark::State& state, const fs::path& input,
            const std::function<std::string(const std::string&)>& convert)
{
    const fs::path output = fs::path(input).replace_extension(".out");
    const fs::path copy = fs::path(input).replace_extension(".copy");
    const std::size_t size = fs::file_size(input);
    double jobTotal = 0;
    double copyTotal = 0;
    std::size_t peak = 0;
    bool copyFirst = false;
    for (auto _ : state) {
        // Alternate the order so that neither job always meets the other's
        // freshly written pages.
        copyFirst = !copyFirst;
        auto runCopy = [&] {
            const auto start = std::chrono::steady_clock::now();
            WriteWhole(copy, ReadWhole(input));
            copyTotal += Seconds(std::chrono::steady_clock::now() - start);
        };
        if (copyFirst)
            runCopy();
        const std::size_t base = liveBytes.load();
        peakBytes = base;
        const auto start = std::chrono::steady_clock::now();
        WriteWhole(output, convert(ReadWhole(input)));
        const double seconds = Seconds(std::chrono::steady_clock::now() - start);
        peak = std::max(peak, peakBytes.load() - base);
        jobTotal += seconds;
        state.SetIterationTime(seconds);
        if (!copyFirst)
            runCopy();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
    state.counters["ratio"] = jobTotal / copyTotal;
    state.counters["peak_x"] = static_cast<double>(peak) / static_cast<double>(size);
}

const char* KindName(ConverterKind kind)
{
    switch (kind) {
    case ConverterKind::PrtToPrx:
        return "PrtToPrx";
    case ConverterKind::PrtToReg:
        return "PrtToReg";
    case ConverterKind::ToPrx:
        return "ToPrx";
    case ConverterKind::RemoteToReg:
        break;
    }
    return "RemoteToReg";
}

void RegisterAll()
{
    const ConverterKind kinds[] = {ConverterKind::PrtToPrx, ConverterKind::PrtToReg, ConverterKind::ToPrx,
                                   ConverterKind::RemoteToReg};
    const std::size_t sizes[] = {1 * kMiB, 4 * kMiB, 16 * kMiB};
    for (ConverterKind kind : kinds) {
        const bool wide = kind != ConverterKind::RemoteToReg;
        const std::string hive = HiveOf(kind);
        // A real identifier would not leave room for a key in 50 bytes.
        const std::string denseHive = kind == ConverterKind::RemoteToReg ? "S-1-5-21-1-2-3-1004" : hive;
        for (bool dense : {false, true}) {
            for (std::size_t size : sizes) {
                const std::string name = std::string(KindName(kind)) + (dense ? "/dense/" : "/printers/") +
                                         std::to_string(size / kMiB) + "MiB";
                auto make = [=] {
                    return ExportFile(wide, size, [&](int n) {
                        return dense ? DenseBlock(denseHive, wide, n) : PrinterBlock(hive, n);
                    });
                };
                benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                    RunJob(state, Input(name, make),
                           [kind](const std::string& bytes) { return ConvertExportBytes(kind, bytes); });
                })->UseManualTime()->Unit(benchmark::kMillisecond);
            }
        }
    }
    for (bool wide : {true, false}) {
        for (std::size_t size : sizes) {
            const std::string name =
                std::string("AppList/") + (wide ? "reg/" : "writer/") + std::to_string(size / kMiB) + "MiB";
            auto make = [=] { return ExportFile(wide, size, UninstallBlock); };
            benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                RunJob(state, Input(name, make), [](const std::string& bytes) { return MakeAppListText(bytes); });
            })->UseManualTime()->Unit(benchmark::kMillisecond);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    workDir = fs::temp_directory_path() / ("movara_bench_" + std::to_string(getpid()));
    fs::create_directories(workDir);
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored; // a leftover temp folder is harmless
    fs::remove_all(workDir, ignored);
    return 0;
}
