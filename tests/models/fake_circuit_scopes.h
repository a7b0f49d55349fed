// A stand-in for the compiler's answers about a circuit's defines and scopes.
#pragma once

#include <string>

#include "core/memory.h"
#include "core/result.h"
#include "models/modelstmt.h"

// The circuit's scopes as the compiler would answer for them: no defines (or
// the substitution a test gives), scope 3 inside scope 2, others in the top level.
class FakeCircuitScopes final : public ModelCircuitScopes {
public:
    int SubstituteDefines(CCTDoc*, const char* text, int, char** out) override {
        std::string s = text ? text : "";
        if (substitute) s = substitute(s);
        *out = DuplicateString(s.c_str());
        return *out ? 0 : kResultNoMemory;
    }
    char* QualifyName(CCTDoc*, const char* name, int scope) override {
        return DuplicateString((scope == 0 ? std::string("'TARNINC'.") + name : std::string(name)).c_str());
    }
    int EnclosingScope(CCTDoc*, int scope) override { return scope == 3 ? 2 : 1; }
    bool IsFunctionDefine(CCTDoc*, const char*, int) override { return false; }
    std::string (*substitute)(const std::string& text) = nullptr;
};
