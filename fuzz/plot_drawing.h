// The part the harnesses that draw plots share: the toolkit, the program's
// palette and colour table made once, and a reader of the input's bytes as
// drawing values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "shell/colortable.h"
#include "shell/document.h"

namespace fuzz {

inline void StartPlotDrawing() {
    static const bool started = [] {
        EnsureApplication();
        if (!GetProgramPalette()) CreateProgramPalette();
        InitColorTable();
        // The toolkit's font caches do not survive the application object's
        // destruction at process exit; the run is over by then (leaks are
        // checked per input while it runs).
        std::atexit([] { std::_Exit(0); });
        return true;
    }();
    (void)started;
}

// Bytes and doubles from the input, 0 past its end.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // False (and nothing read) when fewer bytes than a double are left.
    bool Double(double& v) {
        if (size_ - pos_ < sizeof v) return false;
        std::memcpy(&v, data_ + pos_, sizeof v);
        pos_ += sizeof v;
        return true;
    }
    // A double, or 0 with the input used up.
    double Double() {
        double v = 0;
        if (!Double(v)) pos_ = size_;
        return v;
    }
    bool AtEnd() const { return pos_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace fuzz
