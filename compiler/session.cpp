#include "compiler/session.h"

#include <new>

#include "core/memory.h"
#include "document/ctdoc.h"
#include "expr/runvars.h"

CompileSession::CompileSession(CCTDoc* document) {
    defines.Init(document);
    options.Reset(GlobalSettings);
}

CompileSession* GetCompileSession(CCTDoc* document) {
    if (!document) return nullptr;
    if (!document->defineTable) {
        // The program's allocator, so that a low-memory compile frees caches and retries.
        void* block = MemAlloc(sizeof(CompileSession));
        if (!block) return nullptr;
        document->defineTable = new (block) CompileSession(document);
    }
    return static_cast<CompileSession*>(document->defineTable);
}

CompileSession* FindCompileSession(const CCTDoc* document) {
    return document ? static_cast<CompileSession*>(document->defineTable) : nullptr;
}

void ReleaseDefineTable(CCTDoc* document) {
    CompileSession* session = FindCompileSession(document);
    if (!session) return;
    session->~CompileSession();
    MemFree(session);
    document->defineTable = nullptr;
}
