#pragma once
// Small text helpers shared by the readers of the layout sources.
#include <string>
#include <vector>

// Splits at the separator; with a blank as separator, runs of blanks make no empty fields.
std::vector<std::string> SplitFields(const std::string& text, char separator);
// Reads a whole decimal integer (optional sign); false for anything else.
bool ParseInt(const std::string& text, int& value);
