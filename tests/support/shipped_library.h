// The shipped model library copied into a test's scratch folder and made the
// library path while the object lives, so that the index files that model
// searches write stay out of the source tree. (Test binaries define
// TW_SOURCE_DIR.)
#pragma once

#include <cstdlib>
#include <string>

#include "core/paths.h"
#include "tests/support/tempdir.h"

namespace twtest {

class ScopedShippedLibrary {
public:
    explicit ScopedShippedLibrary(const TempDir& dir) : saved_(GetPathSetting(kPathLibrary)) {
        const std::string library = dir.File("library");
        copied_ = std::system(("cp -r '" TW_SOURCE_DIR "/data/library' '" + library + "'").c_str()) == 0;
        SetPathSetting(kPathLibrary, library.c_str());
    }
    ~ScopedShippedLibrary() { SetPathSetting(kPathLibrary, saved_.c_str()); }
    ScopedShippedLibrary(const ScopedShippedLibrary&) = delete;
    ScopedShippedLibrary& operator=(const ScopedShippedLibrary&) = delete;

    bool Copied() const { return copied_; }

private:
    std::string saved_;
    bool copied_ = false;
};

}  // namespace twtest
