#include "core/fontspec.h"

#include <strings.h>
#include <cstring>

#include "core/memory.h"

namespace {

// Face names live in fixed 32-byte slots so that an index, once handed out, names
// the same face for the whole run; the block only ever grows.
constexpr int kFontFaceSlot = 32;

struct FontFaceTable {
    char (*names)[kFontFaceSlot] = nullptr;
    int count = 0;
    int defaultHeight = 0;
};

FontFaceTable& fs_Table() {
    static FontFaceTable table;
    return table;
}

}  // namespace

int FindOrAddFontFace(const char* name) {
    FontFaceTable& table = fs_Table();
    if (name == nullptr) name = "";
    // Compare as the slot would store it: a longer name matches its cut form.
    char wanted[kFontFaceSlot] = {};
    CopyTextBounded(wanted, name, sizeof wanted);
    for (int i = 0; i < table.count; i++) {
        if (strcasecmp(table.names[i], wanted) == 0) return i;
    }
    void* block = table.names;
    if (ReallocBlock(&block, static_cast<size_t>(table.count + 1) * kFontFaceSlot) == nullptr) return 0;
    table.names = static_cast<char(*)[kFontFaceSlot]>(block);
    memcpy(table.names[table.count], wanted, sizeof wanted);
    return table.count++;
}

const char* FontFaceName(int index) {
    FontFaceTable& table = fs_Table();
    if (index < 0 || index >= table.count) return "";
    return table.names[index];
}

int FontFaceCount() { return fs_Table().count; }

int DefaultFontHeight() { return fs_Table().defaultHeight; }

void SetDefaultFontHeight(int height) { fs_Table().defaultHeight = height; }

void FontSpec::SetDefault() {
    height = static_cast<int16_t>(DefaultFontHeight());
    face = static_cast<uint16_t>(FindOrAddFontFace("Arial"));
    style = 0;
    color = 0;
}

void FontSpec::CopyFrom(const FontSpec& source) {
    height = source.height;
    face = source.face;
    style = source.style;
}

bool FontSpec::Differs(const FontSpec& other) const {
    return height != other.height || face != other.face || style != other.style || color != other.color;
}
