// The six-byte font record and the program-wide face table.
//
// Files never store face indexes, only face names, which are looked up or added
// when read; an index stays valid for the whole run.
#pragma once

#include <cstdint>

struct FontSpec {
    int16_t height = 0;  // < 0 character height in logical units, > 0 cell height, 0 default
    uint16_t face = 0;   // index into the face table
    uint8_t style = 0;   // 0x01 underline, 0x02 italic, 0x04 bold, 0x08 strikeout, 0x10/0x20/0x40 rotation
    uint8_t color = 0;   // colour index; 74 = none

    void SetDefault();
    void CopyFrom(const FontSpec& source);
    bool Differs(const FontSpec& other) const;
};
static_assert(sizeof(FontSpec) == 6);

// Index of the face whose name equals `name` without regard to case; appended
// when absent (names cut to 31 characters).
int FindOrAddFontFace(const char* name);
// The name of a face index, or "" for an index outside the table.
const char* FontFaceName(int index);
int FontFaceCount();
// The default height that a record of height 0 stands for (a negative logical height).
int DefaultFontHeight();
void SetDefaultFontHeight(int height);
