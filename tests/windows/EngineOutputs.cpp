#include "EngineOutputs.h"

#include "TestBlocks.h"
#include "zol.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace engine_outputs {

const HostState HostStates[3] = {{0x037F, 0x1F80}, {0x027F, 0x1F80}, {0x0C7F, 0xFFC0}};

namespace {

constexpr char Magic[8] = {'Z', 'O', 'L', 'O', 'U', 'T', '0', '1'};
// Larger than any block or spectrum of the cases; a count beyond it marks a damaged file.
constexpr uint32_t MaxCount = 1u << 20;

HostState CurrentHostState() {
    HostState s;
    asm volatile("fnstcw %0" : "=m"(s.x87));
    asm volatile("stmxcsr %0" : "=m"(s.sse));
    return s;
}

void SetHostState(const HostState& s) {
    asm volatile("fnclex\n\tfldcw %0" : : "m"(s.x87) : "memory");
    asm volatile("ldmxcsr %0" : : "m"(s.sse) : "memory");
}

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

bool Put(std::FILE* f, const void* data, size_t bytes) {
    return std::fwrite(data, 1, bytes, f) == bytes;
}

bool Get(std::FILE* f, void* data, size_t bytes) {
    return std::fread(data, 1, bytes, f) == bytes;
}

template <typename T> bool PutVector(std::FILE* f, const std::vector<T>& v) {
    const auto count = static_cast<uint32_t>(v.size());
    return Put(f, &count, sizeof count) && Put(f, v.data(), v.size() * sizeof(T));
}

template <typename T> bool GetVector(std::FILE* f, std::vector<T>& v) {
    uint32_t count = 0;
    if (!Get(f, &count, sizeof count) || count > MaxCount) return false;
    v.resize(count);
    return Get(f, v.data(), v.size() * sizeof(T));
}

bool PutCase(std::FILE* f, const Case& c, const Result& r) {
    return Put(f, &c.record, sizeof c.record) && Put(f, &c.mode, 1) && PutVector(f, c.block) &&
           Put(f, &r.init, 1) && Put(f, &r.write, 1) && Put(f, &r.run, 1) && Put(f, &r.read, 1) &&
           PutVector(f, r.bits);
}

bool GetCase(std::FILE* f, Case& c, Result& r) {
    return Get(f, &c.record, sizeof c.record) && Get(f, &c.mode, 1) && GetVector(f, c.block) &&
           Get(f, &r.init, 1) && Get(f, &r.write, 1) && Get(f, &r.run, 1) && Get(f, &r.read, 1) &&
           GetVector(f, r.bits);
}

} // namespace

std::vector<Case> Cases() {
    std::vector<Case> cases;
    unsigned seed = 1;
    for (const reference::Setting& s : reference::Settings)
        for (reference::Kind kind : reference::Kinds)
            for (uint8_t mode : {0, 1})
                cases.push_back(
                    {reference::Record(s), mode, reference::Block(kind, s.samples, seed++)});
    return cases;
}

Result Run(const Case& c, const HostState& host) {
    std::vector<float> spectrum(c.record.PointCount);
    const HostState caller = CurrentHostState();
    SetHostState(host);
    Result r;
    r.init = ZOL_DLL_Init(&c.record, c.mode);
    r.write = ZOL_DLL_WriteInputArray(c.block.data(), static_cast<int32_t>(c.block.size()));
    r.run = ZOL_DLL_Run();
    r.read = ZOL_DLL_ReadOutputArray(spectrum.data(), static_cast<int32_t>(spectrum.size()));
    SetHostState(caller);
    r.bits.resize(spectrum.size());
    std::memcpy(r.bits.data(), spectrum.data(), spectrum.size() * sizeof(float));
    return r;
}

bool Write(const char* path, const std::vector<Case>& cases, const std::vector<Result>& results) {
    const File f(std::fopen(path, "wb"), std::fclose);
    if (!f || cases.size() != results.size()) return false;
    const auto count = static_cast<uint32_t>(cases.size());
    bool ok = Put(f.get(), Magic, sizeof Magic) && Put(f.get(), &count, sizeof count);
    for (size_t i = 0; ok && i < cases.size(); ++i)
        ok = PutCase(f.get(), cases[i], results[i]);
    return ok;
}

bool Read(const char* path, std::vector<Case>& cases, std::vector<Result>& results) {
    cases.clear();
    results.clear();
    const File f(std::fopen(path, "rb"), std::fclose);
    char magic[sizeof Magic];
    uint32_t count = 0;
    if (!f || !Get(f.get(), magic, sizeof magic) || std::memcmp(magic, Magic, sizeof Magic) != 0 ||
        !Get(f.get(), &count, sizeof count) || count > MaxCount)
        return false;
    cases.resize(count);
    results.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        if (!GetCase(f.get(), cases[i], results[i])) return false;
    // Nothing may follow the last case.
    return std::fgetc(f.get()) == EOF;
}

} // namespace engine_outputs
