#pragma once
// The whole of a file as bytes, for the tools' command lines and generators.
#include <fstream>
#include <iterator>
#include <string>

// Fills text with the file's bytes, unchanged (no line-end translation); false when the file cannot
// be opened or a read fails, text then being unspecified.
inline bool ReadWholeFile(const std::string& path, std::string& text)
{
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}
