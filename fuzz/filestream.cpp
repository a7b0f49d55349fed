// Counted texts and binary files: a binary file read by a sequence of typed
// transfers that the input's first bytes choose, the header check, and counted
// texts read through every entry point.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/filestream.h"
#include "core/memory.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    uint8_t plan[8];
    memcpy(plan, data, sizeof plan);
    data += sizeof plan;
    size -= sizeof plan;
    const std::string path = fuzz::WriteScratchFile("binary.bin", data, size);

    BinaryFile file;
    if (file.OpenRead(path.c_str()) != 0) return 0;
    if (plan[0] & 1) {
        int32_t version = 0;
        file.CheckFileHeader("CIR", version);
    }
    char text[64];
    char* field = nullptr;
    SmallString12 small;
    for (int step = 0; step < 4096 && !file.error; ++step) {
        switch ((plan[step % 8] >> (step / 8 % 3 * 2)) & 7) {
        case 0: file.ReadLong(); break;
        case 1: file.ReadShort(); break;
        case 2: file.ReadCountedText(text, sizeof text); break;
        case 3: file.ReadCountedText(text, 1 + plan[1] % sizeof text); break;
        case 4:
            FreeString(&field);
            file.ReadCountedString(&field);
            break;
        case 5: file.ReadSmallString12(small); break;
        case 6: file.Read(text, 1 + plan[2] % sizeof text); break;
        default: {
            int32_t version = 0;
            file.CheckFileHeader("LIB", version);
            break;
        }
        }
    }
    FreeString(&field);
    file.Close();

    // Counted texts written back read the same.
    if (size > 0 && size < 40000) {
        const std::string copy = fuzz::ScratchDir() + "/counted.bin";
        std::string value(reinterpret_cast<const char*>(data), size);
        value = fuzz::AsText(data, size);
        BinaryFile out;
        if (out.OpenWrite(copy.c_str()) == 0) {
            out.WriteCountedText(value.c_str());
            out.Close();
            BinaryFile in;
            if (in.OpenRead(copy.c_str()) == 0) {
                char* back = nullptr;
                in.ReadCountedString(&back);
                if (!in.error && value.size() <= 32767 && (!back || value != back)) __builtin_trap();
                FreeString(&back);
                in.Close();
            }
        }
    }
    return 0;
}
