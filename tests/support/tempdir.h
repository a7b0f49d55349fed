// A scratch folder for one test: made empty under the system's temporary
// folder and removed with everything in it when the test ends, so tests that
// run twice or shuffled never see each other's files.
#pragma once

#include <string>

namespace twtest {

class TempDir {
public:
    explicit TempDir(const char* prefix = "tw_test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, without a trailing slash; empty when it could not be made.
    const std::string& Path() const { return path_; }
    const char* c_str() const { return path_.c_str(); }
    bool Valid() const { return !path_.empty(); }
    // A path inside the folder.
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // Writes `text` into the named file of the folder; the file's path.
    std::string Write(const std::string& name, const std::string& text) const;

private:
    std::string path_;
};

// The whole content of a file, or "" when it cannot be read.
std::string ReadWholeFile(const std::string& path);

}  // namespace twtest
