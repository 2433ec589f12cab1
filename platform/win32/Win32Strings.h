#pragma once

// UTF-8 <-> UTF-16 for the wide Windows calls: the code base keeps every text in UTF-8.
// Windows only; header-only so every seam can use it without a link dependency.

#include <windows.h>

#include <string>

inline std::wstring Widen(const std::string& text)
{
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n);
  return out;
}

inline std::string Narrow(const wchar_t* text, int length = -1)
{
  if (!text || length == 0) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
  if (length < 0 && !out.empty() && out.back() == '\0')
    out.pop_back(); // the terminator counted by a -1 length
  return out;
}

inline std::string Narrow(const std::wstring& text)
{
  return Narrow(text.data(), int(text.size()));
}
