#pragma once
// Text conversions between the system ANSI code page, UTF-8 and UTF-16, and
// the small byte-string helpers the upload and script layers share.
//
// Wide strings always hold UTF-16 code units (also where wchar_t is 32 bits
// wide), so lengths agree between the Windows build and the native build.
// Windows converts through the system's routines with CP_ACP; the native build
// treats the ANSI code page as Windows-1252 so that the same logic is testable.
// Characters without a representation in the target become the default
// character ("?"); malformed UTF-8 or lone surrogates become U+FFFD.
#include <string>

std::string AnsiToUtf8(const std::string& text);
std::wstring Utf8ToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
std::string Utf8ToAnsi(const std::string& text);
// utf8 selects UTF-8, otherwise the ANSI code page.
std::string WideToMultiByte(const std::wstring& text, bool utf8);
std::wstring MultiByteToWide(const std::string& text, bool utf8);

// Letters and digits copied, white space to "+", every other byte "%XX".
std::string UrlEncode(const std::string& bytes);

// Lower-cases ASCII letters in place (the C locale's rule); other bytes and
// code units are left as they are.
void ToLower(std::string& text);
void ToLower(std::wstring& text);

// Replaces every occurrence of needle, scanning left to right without
// rescanning replacements. An empty needle leaves the text unchanged.
void ReplaceAll(std::string& text, const std::string& needle, const std::string& replacement);
void ReplaceAll(std::wstring& text, const std::wstring& needle, const std::wstring& replacement);

// Body text in the bytes the request carries: npPixmend's byte strings go out
// as they are, Pixmend's wide strings in the ANSI code page.
inline const std::string& ToBodyBytes(const std::string& text) { return text; }
inline std::string ToBodyBytes(const std::wstring& text) { return WideToAnsi(text); }
