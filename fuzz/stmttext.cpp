// The rewrite of a circuit's text that keeps a dialog's .TF or .sens
// statement: an arbitrary text (its first byte picks the keyword) gets the
// statement, which must then stand in it exactly once at the top level.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "analysis/tfdlg.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 8192) return 0;
    const bool sens = data[0] & 1;
    const std::string text = fuzz::AsText(data + 1, size - 1);
    const std::string statement = sens ? ".sens V(OUT) I(V1)" : ".TF V(OUT) V1";
    const std::string once = ReplaceAnalysisStatement(text, sens ? ".SENS" : ".TF", statement);
    // Written a second time, the text stays as it is.
    const std::string twice = ReplaceAnalysisStatement(once, sens ? ".SENS" : ".TF", statement);
    if (twice != once) {
        fprintf(stderr, "ONCE[%s]\nTWICE[%s]\n", once.c_str(), twice.c_str());
        std::abort();
    }
    return 0;
}
