// Splits arbitrary bytes as a command line (code page 932) and reads its
// options. Words never hold quotes; quoting every word and splitting again
// gives the same words. The options are the leading words that start with
// "/", the paths every word after them, in order; each option letter takes
// the value of its last occurrence.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "ui/UCommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> words = SplitCommandLine(line);

    std::string quoted;
    for (const std::string& w : words) {
        CHECK(w.find('"') == std::string::npos);
        quoted += "\"" + w + "\" ";
    }
    CHECK(SplitCommandLine(quoted) == words);

    const TCommandLine c = ParseCommandLineArgs(words);
    CHECK(c.Paths.size() <= words.size());
    const size_t options = words.size() - c.Paths.size();
    CHECK(std::equal(c.Paths.begin(), c.Paths.end(), words.begin() + static_cast<std::ptrdiff_t>(options)));
    bool autoPlay = false;
    std::string list;
    int show = -1;
    for (size_t i = 0; i < options; ++i) {
        const std::string& w = words[i];
        CHECK(!w.empty() && w[0] == '/');
        if (w.size() < 2) continue;
        const bool minus = w.size() >= 3 && w[2] == '-';
        const char letter = w[1];
        if (letter == 'A' || letter == 'a') autoPlay = !minus;
        if (letter == 'P' || letter == 'p') list = w.substr(2);
        if (letter == 'V' || letter == 'v') show = minus ? 0 : 1;
    }
    CHECK(options == words.size() || words[options].empty() || words[options][0] != '/');
    CHECK(c.AutoPlay == autoPlay && c.ListName == list);
    CHECK(show < 0 ? !c.Show.has_value() : c.Show.has_value() && *c.Show == (show == 1));
    return 0;
}
