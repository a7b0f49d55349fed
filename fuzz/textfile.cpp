// Text files: every way of reading lines, items and key/value pairs, from a
// memory buffer and from the disk file, with buffer sizes taken from the input.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/memory.h"
#include "core/textfile.h"
#include "fuzz/fuzz_support.h"

namespace {

// Runs reads chosen by `how` until the data ends (or a bound of steps).
void tf_ReadAll(TextFile& file, uint8_t how) {
    const size_t sizes[] = {2, 7, 64, 300};
    const size_t size = sizes[how & 3];
    char buffer[300];
    char value[300];
    char* grown = nullptr;
    size_t capacity = 0, length = 0;
    for (int step = 0; step < 100000; ++step) {
        int code = 0;
        switch ((how >> 2) % 6) {
        case 0: code = file.ReadToken(buffer, size); break;
        case 1: code = file.ReadRawLine(buffer, size); break;
        case 2:
            code = file.ReadLine(buffer, size);
            if (!code && !buffer[0]) code = 1;
            break;
        case 3:
            code = file.ReadKeyValue(buffer, size, value, sizeof value);
            if (!code && !buffer[0] && !value[0]) code = 1;
            break;
        case 4: code = file.ReadGrowingLine(&grown, &capacity, &length); break;
        default:
            code = file.ReadItem(buffer, size, step & 1);
            if (step == 3) file.Seek(file.Tell());
            break;
        }
        if (code || !file.HasMoreData()) break;
    }
    FreeString(&grown);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t how = data[0];
    ++data;
    --size;
    {
        TextFile file;
        char* bytes = static_cast<char*>(MemAlloc(size ? size : 1));
        if (!bytes) return 0;
        if (size) memcpy(bytes, data, size);
        file.AttachMemory(bytes, static_cast<long>(size), true);
        tf_ReadAll(file, how);
        file.Close();
    }
    {
        const std::string path = fuzz::WriteScratchFile("text.txt", data, size);
        TextFile file;
        if (file.OpenText(path.c_str()) == 0) {
            if (how & 0x80) {
                char line[128];
                for (int step = 0; step < 100000 && file.ReadFileLine(line, sizeof line) == 0; ++step) {}
            } else {
                tf_ReadAll(file, how);
            }
        }
        file.Close();
    }
    return 0;
}
