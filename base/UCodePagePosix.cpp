// The code page conversions through iconv's CP932 table.
#include <iconv.h>

#include <cerrno>

#include "base/UCodePage.h"

namespace CodePage {

namespace {

bool Convert(const char* to, const char* from, std::string_view in, std::string& out)
{
    out.clear();
    if (in.empty()) return true;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[1024];
    bool ok = true;
    while (ok) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        // A final call with no input flushes any shift state.
        const size_t r =
            srcLeft ? iconv(cd, &src, &srcLeft, &dst, &dstLeft) : iconv(cd, nullptr, nullptr, &dst, &dstLeft);
        out.append(buf, static_cast<size_t>(dst - buf));
        if (r == static_cast<size_t>(-1)) {
            if (errno != E2BIG) ok = false;
        } else if (srcLeft == 0 && dst == buf) {
            break;
        }
    }
    iconv_close(cd);
    return ok;
}

}  // namespace

// iconv maps some characters to look-alikes ("¥" to the byte of "\"): only
// a conversion that comes back unchanged counts, as the system's conversion
// without best-fit characters.
bool Utf8ToAnsi(std::string_view utf8, std::string& ansi)
{
    std::string back;
    return Convert("CP932", "UTF-8", utf8, ansi) && Convert("UTF-8", "CP932", ansi, back) && back == utf8;
}

bool AnsiToUtf8(std::string_view ansi, std::string& utf8) { return Convert("UTF-8", "CP932", ansi, utf8); }

}  // namespace CodePage
