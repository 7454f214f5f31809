// The program's text for the wide command lines it is given.
#include "ui/UCommandLine.h"

#include "base/UCodePage.h"

std::string CommandLineText(const std::wstring& wide)
{
    // Escaped where the code page cannot hold a character, never a look-alike
    // of it: "Beyoncé.wav" is "Beyonc<U+00E9>.wav", not "Beyonce.wav".
    return CodePage::FromWide(wide);
}
