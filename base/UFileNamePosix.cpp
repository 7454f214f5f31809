// File-name comparison for code page 932 without the Windows API. It folds
// ASCII letters and the full-width Latin letters (Ａ..Ｚ to ａ..ｚ), leaves
// every other character as it is and orders by the folded bytes, which is
// the order the Windows comparison gives for names made of letters, digits,
// Japanese text and the usual punctuation of file names.
#include "base/UFileName.h"

namespace FileName {

std::string SortKey(const std::string& name)
{
    std::string key(name);
    const size_t n = key.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(key[i]);
        if (IsLeadByte(c) && i + 1 < n) {
            const unsigned char t = static_cast<unsigned char>(key[i + 1]);
            if (c == 0x82 && t >= 0x60 && t <= 0x79) key[i + 1] = static_cast<char>(t + 0x21);
            i += 2;
            continue;
        }
        if (c >= 'A' && c <= 'Z') key[i] = static_cast<char>(c + ('a' - 'A'));
        ++i;
    }
    return key;
}

int CompareFileNames(const std::string& a, const std::string& b)
{
    const int r = SortKey(a).compare(SortKey(b));
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

}  // namespace FileName
