// Whole files in one call, for the tests of every folder.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteText(const std::string& path, const std::string& text);
// False, with nothing read, when the file cannot be opened.
bool ReadBytes(const std::string& path, std::vector<uint8_t>& bytes);
// Empty when the file cannot be opened.
std::vector<uint8_t> ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);
