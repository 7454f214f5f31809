// What UCodePage asks of the platform (UCodePageWin.cpp, UCodePagePosix.cpp);
// the escaped form itself is built on these in UCodePage.cpp.
#pragma once

#include <string>
#include <string_view>

namespace CodePage::System {

// Code page 932 bytes as UTF-16, appended to `wide`; false (and `wide` as it
// was) when the bytes are no text of the code page.
bool Decode(std::string_view ansi, std::u16string& wide);

// UTF-16 as code page 932 bytes, appended to `ansi`; false (and `ansi` as it
// was) unless every character converts and converts back to itself.
bool Encode(std::u16string_view wide, std::string& ansi);

// The file-system comparison of two UTF-16 texts ignoring case: negative, 0
// or positive.
int CompareNoCase(std::u16string_view a, std::u16string_view b);

}  // namespace CodePage::System
