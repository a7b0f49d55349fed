#include "compiler/session.h"

#include <new>

#include "core/memory.h"
#include "document/ctdoc.h"
#include "expr/runvars.h"
#include "models/modelstmt.h"

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

CircuitModels* GetCircuitModels(CCTDoc* document) {
    if (!document) return nullptr;
    if (!document->modelStatements) {
        CircuitModels* models = CreateCircuitModels(document);
        if (!models) return nullptr;
        // The circuit's records are made with the options of its own compile.
        if (CompileSession* session = GetCompileSession(document)) models->Settings = &session->options.settings;
        document->modelStatements = models;
    }
    return static_cast<CircuitModels*>(document->modelStatements);
}

CompileSession* FindCompileSession(const CCTDoc* document) {
    return document ? static_cast<CompileSession*>(document->defineTable) : nullptr;
}

void ReleaseDefineTable(CCTDoc* document) {
    CompileSession* session = FindCompileSession(document);
    if (!session) return;
    auto* models = static_cast<CircuitModels*>(document->modelStatements);
    if (models && models->Settings == &session->options.settings) models->Settings = nullptr;
    // Run-time expressions must not read the arrays of a closed circuit.
    FreeArrays(document);
    session->~CompileSession();
    MemFree(session);
    document->defineTable = nullptr;
}
