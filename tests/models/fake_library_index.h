// Hands a library index made by a test to every library entry, in place of the
// index files.
#pragma once

#include <cstring>
#include <string>

#include "core/memory.h"
#include "models/lookup.h"

class FakeLibraryIndex final : public LibraryIndexes {
public:
    int LoadIndex(CircuitModels*, LibraryEntry& entry) override {
        entry.Index = static_cast<char*>(MemAlloc(contents.size() + 1));
        if (!entry.Index) return 15002;
        std::memcpy(entry.Index, contents.data(), contents.size());
        entry.IndexSize = static_cast<int32_t>(contents.size());
        return 0;
    }
    void CheckLibraryFile(const char*) override {}
    std::string contents;
};
