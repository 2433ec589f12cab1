#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Appends the deciphered 8-byte blocks of bytes to out (TEA, 32 rounds, the project key, words most
// significant byte first). A trailing partial block is ignored; a length below 1 appends nothing.
void DecipherResource(const uint8_t* bytes, int32_t length, std::string& out);

// The deciphered text of a definition document, deciphered once per process: every instance of the
// plug-in reads the same two documents, so later calls with the same bytes (same length and content
// hash, wherever they lie) answer a copy of the text kept from the first. A few documents are kept.
std::string DecipherDocument(const uint8_t* bytes, int32_t length);
// The same without the copy: the kept text itself (never null; empty for no bytes).
std::shared_ptr<const std::string> SharedDocument(const uint8_t* bytes, int32_t length);

// The inverse, for the build tool and the tests: the text zero-padded to whole 8-byte blocks and
// enciphered.
std::vector<uint8_t> EncipherResource(const std::string& text);
