// The compiled node names of a circuit, as the document's name lookups see them:
// the compile session's name index answers in place of a walk over every name,
// which made each lookup cost as much as the whole table.
#include "compiler/nodeindex.h"

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/session.h"
#include "core/memory.h"
#include "document/ctdoc.h"
#include "document/nodelabels.h"

namespace {

class CompiledNodeNameIndex final : public NodeNameIndexPort {
public:
    // The index serves only when it holds every name of the table; a name it
    // could not enter (or a table the compiler did not build) leaves the
    // lookups to the table itself.
    int IndexCount(const CCTDoc* document) override {
        CompileSession* session = FindCompileSession(document);
        if (!session || !document) return 0;
        const int entries = session->nodes.EntryCount();
        return entries > 0 && static_cast<size_t>(entries) == document->build.nodeNames.size() ? entries : 0;
    }
    int IndexFind(const CCTDoc* document, const char* name) override {
        CompileSession* session = FindCompileSession(document);
        return session && name ? session->nodes.Find(name) : -1;
    }
    char* QualifyName(const CCTDoc* document, const char* name, int level) override {
        CompileSession* session = FindCompileSession(document);
        if (!session) return DuplicateString(name);
        return ::QualifyName(&session->defines, name, level);
    }
    const char* InstanceName(const CCTDoc* document, int level) override {
        CompileSession* session = FindCompileSession(document);
        CircuitScope* scope = session && level >= 2 ? GetScope(&session->defines, level) : nullptr;
        return scope && !scope->prefix.empty() ? scope->prefix.c_str() : nullptr;
    }
    bool HasAnalysisCircuit(const CCTDoc* document) override {
        const CompiledCircuit* compiled = FindCompiledCircuit(document);
        return compiled && !compiled->solution.empty();
    }
};

CompiledNodeNameIndex ni_index;

}  // namespace

void InstallCompiledNodeNames() { InstallNodeNameIndex(&ni_index); }
