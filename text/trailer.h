// The trailer of a text file: ";$key=value" lines at its very end in which the
// file keeps its display settings and its SPICE dialect. They are taken off
// when the file is read and written back when it is saved, so the editor never
// shows them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct TextTrailer {
    // Colours as 32-bit system colour values (red in the lowest byte).
    std::optional<uint32_t> textColor, commentColor, backgroundColor;
    std::optional<std::string> face;
    std::optional<int> size;
    std::optional<int> style;
    // The dialect name as written ("PSPICE" ...); absent when the file has none.
    std::optional<std::string> dialect;

    bool HasDisplayLines() const { return textColor || commentColor || backgroundColor || face || size || style; }
};

// Takes the trailer off a loaded text: scans its trailing ";$" lines upwards
// and cuts the text at the first of them. A ";$" line with an unknown key, and
// every line above it, stays text. The text keeps the line end that stood
// before the first trailer line.
TextTrailer SplitTextTrailer(std::string_view text, size_t* textLength);

// The trailer lines as a save writes them: the six display lines (when
// `display`) in their fixed order, then the dialect line (when given).
struct TrailerDisplay {
    uint32_t textColor = 0, commentColor = 0, backgroundColor = 0;
    std::string face;
    int size = 0;
    int style = 0;
};
std::string FormatTextTrailer(const TrailerDisplay* display, const char* dialectName);
