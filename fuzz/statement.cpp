// The statement template scanner: the optional keyword part of an instance line
// (a part's attribute text, so input from files) read against the templates
// of the device statements, and the part-name rules on the same text. The
// first byte picks the template.
#include <cstdint>
#include <cstring>
#include <string>

#include "compiler/messages.h"
#include "compiler/scanner.h"
#include "compiler/support.h"
#include "core/result.h"
#include "expr/symbols.h"
#include "fuzz/fuzz_support.h"
#include "models/modelstmt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartCompiler();
    if (size < 1 || size > 2048) return 0;
    static const char* const kTemplates[] = {
        "<[%g][OFF%d][IC=%g[,%g]]>",
        "<[M=%g][L=%t][W=%t][AD=%g][AS=%g][PD=%g][PS=%g][NRD=%g][NRS=%g][NRB=%g][NRG=%g][OFF%d][IC=%g[,%g[,%g]]]>",
        "<[%f][OFF%d][IC=%t[,%t]][TEMP=%g]>",
        "<%g[,%g]>[%d]",
    };
    const char* const templateText = kTemplates[data[0] % 4];
    const std::string text = fuzz::AsText(data + 1, size - 1);

    // Room for every slot: a %t writes a double and its given flag.
    struct Slot {
        double value;
        int32_t given;
    } slots[32] = {};
    void* outputs[32];
    for (int i = 0; i < 32; ++i) outputs[i] = &slots[i];
    const int count = CountTemplateSlots(templateText);
    ScanStatementV(nullptr, templateText, text.c_str(), outputs, data[0] & 0x80 ? count - 1 : count);

    IsInvalidName(text.c_str(), 0);
    IsInvalidName(text.c_str(), kCheckAllowDot);
    IsPlainIdentifier(text.c_str());
    ClearPendingMessage();
    return 0;
}
