#pragma once
#include <string>
#include <vector>

bool WriteTextFile(const std::string& path, const std::string& text);
bool ReadTextFile(const std::string& path, std::string* text);
bool FileExists(const std::string& path);
// The lines of a file (CR LF or LF ends), empty when it cannot be read.
std::vector<std::string> ReadLines(const std::string& path);
std::vector<std::string> Split(const std::string& text, char separator);
// The folder of the running test program, with a trailing backslash.
std::string ProgramDirectory();
