// Small file operations shared by the configuration reader and the
// installer-database layer: UTF-8 path tests, writing a file in one piece,
// and decoding embedded Base64 pictures into files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

// A UTF-8 host path for std::filesystem and the file streams, and back: a
// narrow string would be read in the ANSI code page on Windows.
std::filesystem::path fsPath(const std::string& utf8Path);
std::string utf8PathOf(const std::filesystem::path& path);

// True when something exists at the UTF-8 path.
bool fileExists(const std::string& utf8Path);

// Deletes the file at the UTF-8 path; true when there was none.
bool deleteFileIfExists(const std::string& utf8Path);

// Creates or truncates the file and writes all bytes at once.
bool writeFile(const std::u16string& path, const std::uint8_t* bytes, std::size_t count);

// Decodes Base64 text of byteCount bytes and writes the result to path.
bool decodeBase64ToFile(std::size_t byteCount, const char* text, const std::u16string& path);

// Makes folder (and its parents; an empty folder fails), then decodes the Base64 text into
// folder + "\" + fileName, or into a file named by a fresh GUID when fileName
// is null or empty. On success filePath receives the file's full path; on
// failure it is left as it was.
bool writeBase64File(const std::u16string& folder, std::u16string& filePath,
                     const char* text, std::size_t byteCount, const std::u16string* fileName);
