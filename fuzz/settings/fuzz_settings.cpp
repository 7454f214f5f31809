// Loads arbitrary bytes as a settings file. Every input must either load or
// end in one of the store's own errors (format error with its line, or the
// conversion error of a bad number), at a cost in memory bounded by its size;
// a loaded tree must save, and its saved form must load and save again to
// the very same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "fuzz/FuzzCheck.h"
#include "settings/USetting.h"
#include "tests/settings/AllocationMeter.h"

namespace {

std::string FileName(const char* what)
{
    static const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/";
    return dir + "reelo-fuzz-settings-" + std::to_string(getpid()) + "-" + what;
}

void WriteBytes(const std::string& name, const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

std::string ReadBytes(const std::string& name)
{
    std::string out;
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) std::abort();
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

std::string SaveLoadSave(TSetting& s)
{
    const std::string first = FileName("a.ini");
    s.SaveToFile(first);
    TSetting t;
    t.LoadFromFile(first);
    t.SaveToFile(first);
    return ReadBytes(first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input = FileName("in.ini");
    WriteBytes(input, data, size);
    TSetting s;
    bool loaded = false;
    const AllocationMeter::TTaken taken = AllocationMeter::Measure([&] {
        try {
            s.LoadFromFile(input);
            loaded = true;
        } catch (const ESettingError& e) {
            CHECK(e.Message.find(" line:") != std::string::npos);
        } catch (const EConvertError&) {
        }
    });
    CHECK(taken.Within(size));
    if (!loaded) return 0;
    // Whatever loaded survives saving: two rounds give the same bytes.
    const std::string once = SaveLoadSave(s);
    TSetting again;
    again.LoadFromFile(FileName("a.ini"));
    if (SaveLoadSave(again) != once) std::abort();
    return 0;
}
