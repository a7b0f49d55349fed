// ".PATH" statements in a text page: telling a statement's kind and taking
// the statements a rewrite replaces or drops out of the page.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/dotpath.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the kinds being written.
    DotPathRewrite rewrite;
    for (int kind = 0; kind < 3; ++kind) rewrite.checked[kind] = (data[0] >> kind) & 1;
    std::string text = fuzz::AsText(data + 1, size - 1);
    DotPathStatementKind(text.c_str());
    const size_t before = text.size();
    const int removed = RemoveDotPathStatements(text, rewrite);
    // Only whole lines go, and nothing is added.
    if (removed < 0 || text.size() > before || (removed == 0 && text.size() != before)) std::abort();
    // A second pass over what is left finds no statement of a written kind
    // that the first pass would have dropped: every kind was marked unwritten
    // again, so each remaining statement of a checked kind would be replaced.
    for (int kind = 0; kind < 3; ++kind) {
        if (!rewrite.checked[kind]) continue;
        DotPathRewrite again;
        again.checked[kind] = true;
        std::string rest = text;
        if (RemoveDotPathStatements(rest, again) != 0) std::abort();
    }
    return 0;
}
