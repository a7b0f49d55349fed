// Section files: the input read as a section file through a table whose
// routines use every reading form (key lines, long lines, pairs, the comma
// records of the older flat layouts), as a whole-file buffer, and as a
// protected file.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/fontspec.h"
#include "core/memory.h"
#include "core/sectionfile.h"
#include "fuzz/fuzz_support.h"

namespace {

int sf_KeyLines(SectionFile& file, void*) {
    char* key = nullptr;
    char* value = nullptr;
    int32_t index = 0;
    while (file.ReadKeyLine(key, value)) {
        int n = 0;
        ParseIndexedKey(key, "ITEM", n);
        IsTrueText(value);
        ParseVersionText(value);
        FindAnalysisName(value);
        char* cursor = value;
        for (int i = 0; i < 64 && NextCommaField(cursor); ++i) {}
        ++index;
    }
    return file.error;
}

int sf_Pairs(SectionFile& file, void*) {
    char key[40], value[80];
    for (int i = 0; i < 100000; ++i) {
        if (file.ReadPair(key, sizeof key, value, sizeof value) || (!key[0] && !value[0])) break;
        if (key[0] == '[') break;
    }
    return file.error;
}

// A record of the older flat layout: every comma-record form once.
int sf_Records(SectionFile& file, void*) {
    double d = 0;
    int32_t i = 0, x = 0, y = 0, r[4] = {};
    uint32_t u = 0;
    int16_t s = 0;
    uint16_t us = 0;
    uint8_t b = 0;
    char text[32];
    char* string = nullptr;
    char* multiline = nullptr;
    FontSpec font;
    for (int round = 0; round < 8 && !file.error; ++round) {
        file.SerializeDouble(d, 0);
        file.SerializeInt(i, 0);
        file.SerializeUInt(u, 0);
        file.SerializeShort(s, 0);
        file.SerializeUShort(us, 0);
        file.SerializeByte(b, kRecordEndLine);
        file.SerializePoint(x, y, 0);
        file.SerializeRect(r[0], r[1], r[2], r[3]);
        int32_t count = 0;
        file.SerializeCount(count);
        file.SerializeText(text, sizeof text, 0);
        file.SerializeString(&string, kRecordEndLine);
        file.SerializeMultilineText(&multiline);
        file.SerializeFontRecord(font);
        file.SerializeLineEnd();
    }
    FreeString(&string);
    FreeString(&multiline);
    return file.error;
}

int sf_Skip(SectionFile& file, void*) { return file.SkipSection(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteScratchFile("section.dat", data, size);
    {
        SectionHandler table[] = {
            {"Main", sf_KeyLines, nullptr, 0},
            {"Pairs", sf_Pairs, nullptr, 0},
            {"Records", sf_Records, nullptr, 0},
            {"Skip", sf_Skip, nullptr, 0},
        };
        SectionFile file;
        if (file.OpenText(path.c_str()) == 0) {
            if (size > 4 && memcmp(data, "CRP", 3) == 0) file.DecodeProtectedFile("secret");
            int32_t version = 0;
            if (size > 0 && data[0] == 'F') file.CheckMainHeader("CIR", version);
            file.ReadSectionTable(table, 4);
        }
        file.Close();
    }
    {
        SectionFile file;
        if (file.LoadWholeFile(path.c_str()) == 0) {
            char key[32], value[64];
            for (int i = 0; i < 100000; ++i) {
                if (file.ReadBufferKeyValue(key, sizeof key, value, sizeof value) || (!key[0] && !value[0])) break;
            }
            file.FreeWholeFile();
        }
        file.Close();
    }
    return 0;
}
