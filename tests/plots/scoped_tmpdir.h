// Points the system's temporary folder ($TMPDIR) at a scratch folder for one test.
#pragma once

#include <cstdlib>
#include <string>

class ScopedTmpdir {
public:
    explicit ScopedTmpdir(const std::string& folder) {
        if (const char* old = getenv("TMPDIR")) {
            old_ = old;
            hadOld_ = true;
        }
        setenv("TMPDIR", folder.c_str(), 1);
    }
    ~ScopedTmpdir() {
        if (hadOld_)
            setenv("TMPDIR", old_.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    ScopedTmpdir(const ScopedTmpdir&) = delete;
    ScopedTmpdir& operator=(const ScopedTmpdir&) = delete;

private:
    std::string old_;
    bool hadOld_ = false;
};
