#include "fuzz/fuzz_support.h"

#include <memory>

#include <sys/stat.h>

#include "platform/app.h"

namespace fuzz {

namespace {

std::string fs_MakeScratchDir() {
    char pattern[] = "/tmp/tw_fuzz_XXXXXX";
    if (!mkdtemp(pattern)) {
        perror("mkdtemp");
        abort();
    }
    return pattern;
}

void fs_RemoveScratchDir() {
    std::string command = "rm -rf '" + ScratchDir() + "'";
    if (system(command.c_str()) != 0) fprintf(stderr, "could not remove %s\n", ScratchDir().c_str());
}

}  // namespace

const std::string& ScratchDir() {
    static const std::string dir = [] {
        std::string made = fs_MakeScratchDir();
        return made;
    }();
    static const bool removeAtExit = [] { return atexit(fs_RemoveScratchDir) == 0; }();
    (void)removeAtExit;
    return dir;
}

std::string WriteScratchFile(const char* name, const uint8_t* data, size_t size) {
    std::string path = ScratchDir() + "/" + name;
    FILE* out = fopen(path.c_str(), "wb");
    if (!out) {
        perror(path.c_str());
        abort();
    }
    if (size && fwrite(data, 1, size, out) != size) abort();
    fclose(out);
    return path;
}

void EnsureApplication() {
    static std::unique_ptr<platform::Application> app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return std::make_unique<platform::Application>();
    }();
}

}  // namespace fuzz
