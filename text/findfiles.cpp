#include "text/findfiles.h"

#include <fnmatch.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "document/attributes.h"
#include "document/circuitfile.h"
#include "document/cirdoc.h"
#include "document/cirio.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "models/binlib.h"
#include "text/find.h"

namespace fs = std::filesystem;

namespace {

bool ff_ContainsNoCase(std::string_view text, std::string_view s) { return FindMatch(text, s, 0, false) >= 0; }
bool ff_EqualNoCase(const char* a, std::string_view b) {
    return a && std::string_view(a).size() == b.size() && strncasecmp(a, b.data(), b.size()) == 0;
}

std::string ff_Extension(std::string_view name) {
    const size_t dot = name.find_last_of('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

// Where a component matches in the non-text modes; false when it does not.
bool ff_ComponentMatches(const FindInFilesRequest& r, const SchematicObject& o) {
    const ComponentDef* def = o.definition;
    switch (r.field) {
    case FindField::kShape: return def && ff_EqualNoCase(def->shapeName.text(), r.text);
    case FindField::kDefinition: return def && def->type == r.definition;
    case FindField::kComponent: return def && ff_EqualNoCase(def->name.text(), r.text);
    case FindField::kAttribute:
        for (const PoolItem* i = o.attributes.first; i; i = i->next) {
            const auto* a = static_cast<const PartAttribute*>(i);
            if (a->type != kPoolItemDead && a->value.text() && ff_ContainsNoCase(a->value.text(), r.text)) return true;
        }
        return false;
    case FindField::kText: return false;
    }
    return false;
}

// The first match in a circuit file: its page and, on a text page, the offset.
bool ff_SearchCircuit(const FindInFilesRequest& r, const std::string& path, FindInFilesEntry* out) {
    int code = 0;
    CCirDoc* doc = OpenCircuitDocument(path.c_str(), kLoadHidden | kLoadSilent | kLoadFullPath | kLoadNoRecent, &code);
    if (!doc) return false;
    bool found = false;
    for (int page = 0; page < doc->PageCount() && !found; ++page) {
        const PageRecord* p = doc->Page(page);
        if (r.field == FindField::kText && p->kind == kPageText) {
            const char* text = p->storedText ? p->storedText : "";
            const int64_t at = FindMatch(text, r.text, 0, false);
            if (at >= 0) out->page = page, out->offset = at, found = true;
        } else if (p->kind == kPageSchematic) {
            if (r.field == FindField::kText) {
                for (const PoolItem* i = doc->gridTexts.first; i && !found; i = i->next) {
                    const auto* g = static_cast<const GridTextObject*>(i);
                    if (g->type != kPoolItemDead && g->page == page && g->text && ff_ContainsNoCase(g->text, r.text))
                        out->page = page, out->offset = 0, found = true;
                }
            } else {
                for (const PoolItem* i = doc->objects.first; i && !found; i = i->next) {
                    const auto* o = static_cast<const SchematicObject*>(i);
                    if (o->type != kPoolItemDead && o->IsComponent() && o->page == page && ff_ComponentMatches(r, *o))
                        out->page = page, out->offset = 0, found = true;
                }
            }
        }
    }
    doc->OnCloseDocument();
    return found;
}

bool ff_SearchLibrary(const std::string& text, const std::string& path, FindInFilesEntry* out) {
    auto library = std::make_unique<ModelLibrary>();
    if (LoadModelLibrary(*library, path.c_str(), false, false) != 0) return false;
    int index = 0;
    for (const LibraryModel* m = library->First(); m; m = ModelLibrary::Next(m), ++index) {
        if (m->type == kPoolItemDead) continue;
        if (ff_EqualNoCase(m->Name, text) || ff_ContainsNoCase(m->Memo, text)) {
            out->model = index;
            return true;
        }
    }
    return false;
}

}  // namespace

std::string FindInFilesResult::Summary() const {
    char line[96];
    std::snprintf(line, sizeof line, "Total files found=%d Total files searched=%d", found, searched);
    return line;
}

std::vector<std::string> SplitSearchList(std::string_view list) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    auto flush = [&] {
        const size_t b = cur.find_first_not_of(" \t");
        if (b != std::string::npos) out.push_back(cur.substr(b, cur.find_last_not_of(" \t") - b + 1));
        cur.clear();
    };
    for (char c : list) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ';' && !quoted) {
            flush();
        } else {
            cur += c;
        }
    }
    flush();
    return out;
}

bool FilePatternMatches(std::string_view name, std::string_view pattern) {
    return fnmatch(std::string(pattern).c_str(), std::string(name).c_str(), FNM_CASEFOLD) == 0;
}

int64_t FindTextInFile(const std::string& path, std::string_view text) {
    std::ifstream in(path, std::ios::binary);
    if (!in || text.empty()) return -1;
    std::string line;
    int64_t offset = 0;
    while (std::getline(in, line)) {
        if (ff_ContainsNoCase(line, text)) return offset;
        offset += static_cast<int64_t>(line.size()) + 1;
    }
    return -1;
}

FindInFilesResult FindInFiles(const FindInFilesRequest& r, const std::function<bool()>& stop,
                              const std::function<void(const std::string&)>& searching) {
    FindInFilesResult result;
    if (r.field == FindField::kDefinition) {
        if (!IsValidComponentType(r.definition)) {
            result.entries.push_back({"", "Missing definition."});
            return result;
        }
    } else if (r.text.empty()) {
        result.entries.push_back({"", "Missing search string."});
        return result;
    }
    std::vector<std::string> folders = SplitSearchList(r.folders);
    if (r.subfolders) {
        for (size_t i = 0; i < folders.size(); ++i) {
            std::error_code ec;
            for (fs::directory_iterator it(folders[i], ec), end; !ec && it != end; it.increment(ec))
                if (it->is_directory(ec) && !it->is_symlink(ec)) folders.push_back(it->path().string());
        }
    }
    const std::vector<std::string> patterns = SplitSearchList(r.types);
    for (const std::string& folder : folders) {
        for (const std::string& pattern : patterns) {
            std::vector<fs::path> files;
            std::error_code ec;
            for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
                if (it->is_regular_file(ec) && FilePatternMatches(it->path().filename().string(), pattern))
                    files.push_back(it->path());
            std::sort(files.begin(), files.end());
            for (const fs::path& file : files) {
                if (stop && stop()) {
                    result.stopped = true;
                    result.entries.push_back({"", "Find was stopped by user."});
                    result.entries.push_back({"", result.Summary()});
                    return result;
                }
                const std::string name = file.filename().string();
                const std::string patternExt = ff_Extension(pattern);
                const std::string ext = ff_Extension(name);
                const bool wild = patternExt.find_first_of("?*") != std::string::npos;
                if (!wild && strcasecmp(ext.c_str(), patternExt.c_str()) != 0) continue;
                const std::string path = file.string();
                if (searching) searching(path);
                FindInFilesEntry entry;
                entry.path = path;
                bool found = false;
                if (strcasecmp(ext.c_str(), ".cir") == 0 || strcasecmp(ext.c_str(), ".mac") == 0) {
                    found = ff_SearchCircuit(r, path, &entry);
                } else if (r.field != FindField::kText) {
                    result.entries.push_back({"", "Search in " + path + " must be type TEXT."});
                    continue;
                } else if (strcasecmp(ext.c_str(), ".lbr") == 0) {
                    found = ff_SearchLibrary(r.text, path, &entry);
                } else {
                    entry.offset = FindTextInFile(path, r.text);
                    found = entry.offset >= 0;
                }
                ++result.searched;
                if (found) {
                    ++result.found;
                    result.entries.push_back(std::move(entry));
                }
            }
        }
    }
    result.entries.push_back({"", result.Summary()});
    return result;
}
