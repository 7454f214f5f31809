// Conversion between UTF-8 and the ANSI code page (932 on a Japanese
// system), the encoding of every file name the program hands to Windows.
//
// The Windows build uses the system's conversions; the native build uses
// iconv's CP932 table.
#pragma once

#include <string>
#include <string_view>

namespace CodePage {

// UTF-8 text as ANSI text. False when the text is not valid UTF-8 or holds a
// character the code page cannot represent (no best-fit substitutes).
bool Utf8ToAnsi(std::string_view utf8, std::string& ansi);

// ANSI text as UTF-8. False when the bytes are not valid text of the code
// page (a lead byte without its trail byte).
bool AnsiToUtf8(std::string_view ansi, std::string& utf8);

}  // namespace CodePage
