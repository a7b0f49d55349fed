// What every harness shares: a per-process scratch folder for readers that want a
// path, the input as a terminated text, and the one application object for
// readers that reach the toolkit (made off-screen, once, on first use).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace fuzz {

// The folder is made on first use and removed when the process ends, so
// parallel fuzzing jobs never share a file.
const std::string& ScratchDir();

// Writes the input to `name` inside the scratch folder and returns the path.
std::string WriteScratchFile(const char* name, const uint8_t* data, size_t size);

// The input as a zero-terminated text (cut at its first zero byte, as a C
// reader would see it).
inline std::string AsText(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    return text;
}

// Takes the first line off the text (without its line end).
inline std::string TakeLine(std::string& text) {
    const size_t end = text.find('\n');
    std::string line = text.substr(0, end);
    text.erase(0, end == std::string::npos ? text.size() : end + 1);
    return line;
}

// Makes the off-screen application object once.
void EnsureApplication();

// The start-up the model layer relies on (expression and model messages, the
// symbol indexes, the parameter tables), made once.
void StartModelLayer();
// The start-up the compiler relies on (the application object, the symbol
// indexes, the compiler's messages and services), made once.
void StartCompiler();
// Compiles of SPICE texts: the compiler's start-up, messages answered silently,
// the texts of open documents' pages, the library services, and a library
// folder in the scratch folder holding a master library NOM.LIB of `master`.
void StartTextCompiles(const char* master);

}  // namespace fuzz
