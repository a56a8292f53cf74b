#pragma once
// The two primitive conversions behind support/Convert.h, one implementation
// per platform (ConvertCodePage_win.cpp, ConvertCodePage_posix.cpp).
#include <string>

enum class CodePage { kAnsi, kUtf8 };

std::wstring CodePageToWide(const std::string& bytes, CodePage page);
std::string WideToCodePage(const std::wstring& text, CodePage page);
