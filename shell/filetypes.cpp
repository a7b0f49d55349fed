#include "shell/filetypes.h"

#include <strings.h>

#include <cctype>
#include <cstring>

#include "core/cmdline.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/report_port.h"
#include "core/result.h"
#include "core/textfile.h"
#include "platform/commondlg.h"
#include "platform/dialog.h"
#include "shell/document.h"
#include "shell/report.h"

namespace {

const FileTypeRow kFileTypes[] = {
    {"CIR", kDocCircuit, kFileClassCircuit, kPathData},   {"MAC", kDocCircuit, kFileClassCircuit, kPathLibrary},
    {"LBR", kDocLibrary, kFileClassForced, kPathLibrary}, {"CKT", kDocText, kFileClassFree, kPathData},
    {"LIB", kDocText, kFileClassFree, kPathLibrary},      {"STM", kDocText, kFileClassFree, kPathData},
    {"IBS", kDocText, kFileClassFree, kPathLibrary},      {"MDL", kDocModel, kFileClassForced, kPathLibrary},
    {"RES", kDocText, kFileClassFree, kPathLibrary},      {"CAP", kDocText, kFileClassFree, kPathLibrary},
    {"IND", kDocText, kFileClassFree, kPathLibrary},
};
constexpr int kFileTypeCount = static_cast<int>(sizeof kFileTypes / sizeof kFileTypes[0]);

constexpr int kMsgFilterMacro = 10120;
constexpr int kMsgFilterAllFiles = 10125;
constexpr int kMsgFilterCircuits = 10133;
constexpr int kMsgFilterWaveform = 10141;
constexpr int kMsgFilterImagesOld = 10145;
constexpr int kMsgFilterImages = 10146;
constexpr int kMsgFilterSubckt = 10147;
constexpr int kMsgFilterJedec = 10149;
constexpr int kMaxExtensions = 20;

const MessageRow kFileTypeMessages[] = {
    {10119, "SPICE (*.CKT;*.STM)|*.CKT;*.STM|"},
    {10120, "Macro (*.MAC)|*.MAC|"},
    {10121, "Schematic (*.CIR)|*.CIR|"},
    {10122, "SPICE library (*.LIB)|*.LIB|"},
    {10123, "Model Library (*.LBR)|*.LBR|"},
    {10124, "Model Data (*.MDL)|*.MDL|"},
    {10125, "All Files (*.*)|*.*|"},
    {10132, "IBIS (*.IBS)|*.IBS|"},
    {10133, "Schematic (*.CIR)|*.CIR|Macro (*.MAC)|*.MAC|"},
    {10141, "Waveform (*.USR)|*.usr|"},
    {10143, "Filter (*.RES;*.CAP;*.IND)|*.res;*.cap;*.ind|"},
    {10146,
     "All Image Files|*.BMP;*.DIB;*.RLE;*.JPG;*.JPEG;*.JPE;*.JFIF;*.GIF;*.EMF;*.WMF;*.TIF;*.TIFF;*.PNG;*.ICO|"
     "BMP (*.BMP;*.DIB;*.RLE)|*.BMP;*.DIB;*.RLE|JPEG (*.JPG;*.JPEG;*.JPE;*.JFIF)|*.JPG;*.JPEG;*.JPE;*.JFIF|"
     "GIF (*.GIF)|*.GIF|EMF (*.EMF)|*.EMF|WMF (*.WMF)|*.WMF|TIFF (*.TIF;*.TIFF)|*.TIF;*.TIFF|PNG (*.PNG)|*.PNG|"
     "ICO (*.ICO)|*.ICO||"},
    {10147, "subckt (*.LIB;*.CKT)|*.lib;*.ckt|"},
    {10149, "JEDEC (*.JED)|*.jed|"},
    {57601, "Opens an existing file.\nOpen"},
};

int ft_lastFilterIndex = 1;

std::string ft_Text(int id) {
    const char* text = GetMessageText(id);
    return text ? text : "";
}

// The extension of the file-name part, without its dot; "" when none.
std::string ft_Extension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return path.substr(dot + 1);
}

bool ft_SameText(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

std::string ft_Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// "'A', 'B' or 'C'" for the refusal warnings.
std::string ft_ExtensionWords(const std::vector<std::string>& extensions) {
    std::string words;
    for (size_t i = 0; i < extensions.size(); ++i) {
        if (i) words += i + 1 == extensions.size() ? " or " : ", ";
        words += "'" + extensions[i] + "'";
    }
    return words;
}

void ft_WarnExtension(const std::string& words) {
    Reporter().Report(FormattedMessage("File name must have an %s extension.")
                          .Args(words)
                          .Caption("Warning")
                          .Style(mbstyle::Ok | mbstyle::IconHand));
}

// The path kind of the filter's pattern at a 1-based index: its first
// pattern's extension looked up in the table; -1 when unknown.
int ft_PathKindOfFilter(const std::string& filter, int index) {
    platform::FileDialog probe;
    probe.SetFilter(filter);
    const auto list = probe.FilterList();
    if (index < 1 || index > static_cast<int>(list.size())) return -1;
    std::string pattern = list[index - 1].second;
    pattern = pattern.substr(0, pattern.find(';'));
    const int row = FindFileTypeRow(pattern.c_str());
    return row < 0 ? -1 : kFileTypes[row].pathKind;
}

// The 0-based filter whose patterns hold the extension of the name; -1 when none.
int ft_FilterOfName(const std::string& filter, const std::string& name) {
    const std::string ext = ft_Extension(name);
    if (ext.empty()) return -1;
    platform::FileDialog probe;
    probe.SetFilter(filter);
    const auto list = probe.FilterList();
    for (size_t i = 0; i < list.size(); ++i) {
        std::string patterns = list[i].second;
        size_t start = 0;
        while (start <= patterns.size()) {
            size_t end = patterns.find(';', start);
            if (end == std::string::npos) end = patterns.size();
            const std::string pattern = ft_Trim(patterns.substr(start, end - start));
            if (pattern.size() > 2 && ft_SameText(pattern.substr(2), ext)) return static_cast<int>(i);
            start = end + 1;
        }
    }
    return -1;
}

// A refused name shows the dialog again. An answerer (tests, batch runs) that
// gives the same refused name twice would never get further: that counts as
// Cancel.
bool ft_GivesUp(std::string& lastRefused, const std::string& name) {
    if (platform::HasModalAnswerer() && name == lastRefused) return true;
    lastRefused = name;
    return false;
}

}  // namespace

// ---- the table -------------------------------------------------------------------------

int FileTypeRowCount() { return kFileTypeCount; }
const FileTypeRow& FileTypeAt(int row) { return kFileTypes[row]; }

int FindFileTypeRow(const char* path) {
    if (!path) return -1;
    const std::string ext = ft_Extension(path);
    if (ext.empty()) return -1;
    for (int row = 0; row < kFileTypeCount; ++row)
        if (ft_SameText(ext, kFileTypes[row].extension)) return row;
    return -1;
}

int GetDocumentKindOfFile(const char* path) {
    const int row = FindFileTypeRow(path);
    return row < 0 ? -1 : kFileTypes[row].kind;
}

int GetKindOfExtension(const char* path) { return GetDocumentKindOfFile(path); }

std::string GetFilterText(int kind) {
    if (kind == kFilterAllDocuments) {
        std::string text;
        for (int id : {10121, 10120, 10119, 10122, 10132, 10123, 10124, 10143, 10125}) text += ft_Text(id);
        return text;
    }
    if (kind == kDocCircuit) return ft_Text(kMsgFilterCircuits);
    return ft_Text(kMsgFilterMacro + kind);
}

int ResolveDocumentExtension(char* path, size_t size, int mode, int kind) {
    if (!path || size == 0) return -1;
    const std::string typed = path;
    const bool anyKind = kind == -1 || kind == kFilterAllDocuments;
    std::string work = mode == kResolveSave ? ft_Trim(typed) : typed;
    if (mode == kResolveOpen && ft_Extension(typed).empty()) {
        bool found = false;
        for (int row = 0; row < kFileTypeCount && !found; ++row) {
            if (!anyKind && kFileTypes[row].kind != kind) continue;
            // File names are case-sensitive here: the table's extension is
            // tried as it is and in lower case.
            std::string lower = kFileTypes[row].extension;
            for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            for (const std::string& extension : {std::string(kFileTypes[row].extension), lower}) {
                if (found) break;
                char candidate[kPathSize];
                CopyTextBounded(candidate, typed.c_str(), sizeof candidate);
                ChangeExtension(candidate, extension.c_str(), sizeof candidate);
                if (FindFileOnPaths(candidate, kFileTypes[row].pathKind) == 0 && CheckFileExists(candidate) == 0) {
                    work = candidate;
                    found = true;
                }
            }
        }
        if (!found) {
            CopyTextBounded(path, typed.c_str(), size);
            return -1;
        }
    } else if (mode == kResolveSave) {
        bool circuitExtension = false, matched = false;
        const std::string ext = ft_Extension(work);
        for (int row = 0; row < kFileTypeCount; ++row) {
            if (!anyKind && kFileTypes[row].kind != kind) continue;
            if (kFileTypes[row].fileClass == kFileClassCircuit) {
                circuitExtension = true;
                if (ft_SameText(ext, kFileTypes[row].extension)) matched = true;
                continue;
            }
            if (kFileTypes[row].fileClass == kFileClassForced) {
                char changed[kPathSize];
                CopyTextBounded(changed, work.c_str(), sizeof changed);
                ChangeExtension(changed, kFileTypes[row].extension, sizeof changed);
                work = changed;
            }
            break;
        }
        if (circuitExtension && !matched) {
            char changed[kPathSize];
            CopyTextBounded(changed, work.c_str(), sizeof changed);
            ChangeExtension(changed, "CIR", sizeof changed);
            work = changed;
        }
    }
    const int row = FindFileTypeRow(work.c_str());
    const int result = row < 0 ? kDocText : kFileTypes[row].kind;
    const int pathKind = row < 0 ? kPathData : kFileTypes[row].pathKind;
    char completed[kPathSize];
    CopyTextBounded(completed, work.c_str(), sizeof completed);
    if (completed[0]) CompleteFilePath(completed, pathKind);
    CopyTextBounded(path, completed, size);
    return result;
}

// ---- the generic dialog -----------------------------------------------------------------

std::vector<std::string> ExtensionListOfFilter(const std::string& filter) {
    std::vector<std::string> list;
    size_t at = 0;
    while (list.size() < kMaxExtensions && (at = filter.find("*.", at)) != std::string::npos) {
        at += 2;
        std::string entry;
        if (at < filter.size() && filter[at] == '*') {
            entry = "*";
        } else {
            entry = filter.substr(at, 3);
            if (at + 3 < filter.size() && std::isalpha(static_cast<unsigned char>(filter[at + 3])))
                entry = filter.substr(at, 4);
        }
        bool repeated = false;
        for (const std::string& e : list) repeated = repeated || ft_SameText(e, entry);
        if (!repeated && !entry.empty()) list.push_back(entry);
    }
    return list;
}

bool AcceptFileNameByExtensions(const std::string& name, const std::vector<std::string>& extensions) {
    if (name.empty() || name.find_first_of("?*") != std::string::npos) return true;
    const std::string ext = ft_Extension(name);
    if (ext.empty()) return true;
    for (const std::string& e : extensions)
        if (e == "*" || ft_SameText(e, ext)) return true;
    ft_WarnExtension(ft_ExtensionWords(extensions));
    return false;
}

int ShowFileDialog(int filterId, bool open, platform::Window* parent, const char* initialDirs, char* path, size_t size,
                   const char* filterText, const char* title, int* filterIndex) {
    if (filterId == kMsgFilterImagesOld) filterId = kMsgFilterImages;
    std::string filter = filterText ? std::string(filterText) : ft_Text(filterId);
    if (filter.size() > 511) filter.resize(511);
    platform::FileDialog dialog(open ? platform::FileDialog::Mode::Open : platform::FileDialog::Mode::Save);
    dialog.SetFilter(filter);
    if (!open) dialog.SetOverwritePrompt(!DemoPlaying() && filterId != kMsgFilterWaveform);
    const std::vector<std::string> extensions = ExtensionListOfFilter(filter);
    if (!extensions.empty() && extensions.front() != "*") dialog.SetDefaultExtension(extensions.front());
    if (title) dialog.SetTitle(title);
    std::string initial;
    if (initialDirs && *initialDirs) {
        initial = initialDirs;
        initial = initial.substr(0, initial.find(';'));
        if (initial.size() > kPathSize - 1) initial.resize(kPathSize - 1);
        if (path && *path && !std::strchr(path, '/')) initial += std::string("/") + path;
    } else if (path && *path) {
        initial = path;
    }
    dialog.SetInitialPath(initial);
    if (filterIndex && *filterIndex > 0) dialog.SetFilterIndex(*filterIndex - 1);

    // A refused name leaves the dialog up, as the desktop's own dialog stays
    // open: it is shown again until a name passes or the user cancels.
    std::string refused;
    for (;;) {
        if (dialog.DoModal(parent) != 1 || dialog.Path().empty()) break;
        if (!AcceptFileNameByExtensions(dialog.Path(), extensions)) {
            if (ft_GivesUp(refused, dialog.Path())) break;
            continue;
        }
        if (filterIndex) *filterIndex = dialog.FilterIndex() + 1;
        if (path && size) CopyTextBounded(path, dialog.Path().c_str(), size);
        return 1;
    }
    if (path && size) path[0] = '\0';
    return 2;
}

int ShowOpenFileDialogEx(platform::Window* parent, const char* initialDirs, char* path, size_t size, int filterId,
                         const char* title, int* filterIndex) {
    return ShowFileDialog(filterId, true, parent, initialDirs, path, size, nullptr, title, filterIndex);
}

int ShowOpenFileDialog(platform::Window* parent, const char* initialDirs, char* path, size_t size, int filterId,
                       const char* title) {
    return ShowOpenFileDialogEx(parent, initialDirs, path, size, filterId, title, nullptr);
}

int ShowSaveFileDialogEx(platform::Window* parent, const char* initialDirs, char* path, size_t size, int filterId,
                         const char* title, int* filterIndex) {
    return ShowFileDialog(filterId, false, parent, initialDirs, path, size, nullptr, title, filterIndex);
}

int ShowSaveFileDialog(platform::Window* parent, const char* initialDirs, char* path, size_t size, int filterId,
                       const char* title) {
    return ShowSaveFileDialogEx(parent, initialDirs, path, size, filterId, title, nullptr);
}

int BrowseForModelFile(platform::Window* parent, char* path, size_t size, int typeCode, int portCount, bool open) {
    int filterId = kMsgFilterAllFiles;
    int pathKind = kPathData;
    std::string touchstone;
    if (typeCode == 16) {
        filterId = kMsgFilterWaveform;
    } else if (typeCode == 22) {
        filterId = kMsgFilterMacro;
        pathKind = kPathLibrary;
    } else if (typeCode == 49) {
        filterId = kMsgFilterSubckt;
        pathKind = kPathLibrary;
    } else if (typeCode >= 101 && typeCode <= 112) {
        filterId = kMsgFilterJedec;
    } else if (typeCode == 124) {
        filterId = 10122;
    } else if (typeCode == 136) {
        const std::string n = std::to_string(portCount);
        touchstone = "Touchstone File (*.s" + n + "p)|*.s" + n + "p|";
    }
    const char* dirs = GetSearchPath(pathKind);
    return ShowFileDialog(filterId, open, parent, dirs, path, size, touchstone.empty() ? nullptr : touchstone.c_str(),
                          "Browse", nullptr) == 1;
}

// ---- document dialogs ------------------------------------------------------------------

int LastDocumentFilterIndex() { return ft_lastFilterIndex; }
void SetLastDocumentFilterIndex(int index) { ft_lastFilterIndex = index > 0 ? index : 1; }

int CheckDocumentFileName(const std::string& name, int mode, int kind, CDoc* validator, std::string* out,
                          int* kindOut) {
    if (out) out->clear();
    std::string typedName = name.substr(0, kPathSize - 1);
    if (typedName.empty() || typedName.find_first_of("?*") != std::string::npos) return 1;
    const std::string typedExt = ft_Extension(typedName);
    char path[kPathSize];
    CopyTextBounded(path, typedName.c_str(), sizeof path);
    const int resolved = ResolveDocumentExtension(path, sizeof path, mode, kind);
    if (kindOut) *kindOut = resolved;
    if (mode == kResolveSave && !typedExt.empty() && !ft_SameText(typedExt, ft_Extension(path))) {
        if (kind == kDocCircuit)
            ft_WarnExtension("'CIR' or 'MAC'");
        else
            ft_WarnExtension("'." + ft_Extension(path) + "'");
        return 0;
    }
    if (validator) {
        void* window = validator->MainView() ? static_cast<void*>(validator->MainView()) : nullptr;
        if (CheckPathNotOpenElsewhere(window, path) != 0) return 0;
    }
    if (out) *out = path;
    return 1;
}

namespace {

int ft_SaveDocumentDialog(platform::Window* parent, CDoc* document, char* path, size_t size, const std::string& filter,
                          int kind) {
    platform::FileDialog dialog(platform::FileDialog::Mode::Save);
    dialog.SetFilter(filter);
    dialog.SetOverwritePrompt(!DemoPlaying());
    const int filterOfName = ft_FilterOfName(filter, path ? path : "");
    dialog.SetFilterIndex(filterOfName >= 0 ? filterOfName : LastDocumentFilterIndex() - 1);
    for (int row = 0; row < kFileTypeCount; ++row) {
        if (kFileTypes[row].kind != kind) continue;
        dialog.SetDefaultExtension(kFileTypes[row].extension);
        break;
    }
    if (path && *path) dialog.SetInitialPath(path);
    std::string refused;
    for (;;) {
        if (dialog.DoModal(parent) != 1 || dialog.Path().empty()) break;
        std::string accepted;
        int acceptedKind = -1;
        if (!CheckDocumentFileName(dialog.Path(), kResolveSave, kind, document, &accepted, &acceptedKind) ||
            accepted.empty()) {
            if (ft_GivesUp(refused, dialog.Path())) break;
            continue;
        }
        CopyTextBounded(path, accepted.c_str(), size);
        return acceptedKind;
    }
    if (path && size) path[0] = '\0';
    return -1;
}

}  // namespace

int ShowSaveDocumentDialog(platform::Window* parent, CDoc* document, char* path, size_t size, int kind) {
    return ft_SaveDocumentDialog(parent, document, path, size, GetFilterText(kind), kind);
}

int ShowSaveDocumentDialog(platform::Window* parent, CDoc* document, char* path, size_t size,
                           const std::string& filter) {
    return ft_SaveDocumentDialog(parent, document, path, size, filter, -1);
}

int OpenFilesDialog(platform::Window* parent) {
    const std::string filter = GetFilterText(kFilterAllDocuments);
    platform::FileDialog dialog(platform::FileDialog::Mode::OpenMultiple);
    dialog.SetFilter(filter);
    dialog.SetFilterIndex(LastDocumentFilterIndex() - 1);
    dialog.SetTitle("Open");
    const int pathKind = ft_PathKindOfFilter(filter, LastDocumentFilterIndex());
    if (pathKind >= 0) {
        char directory[kPathSize];
        GetFirstSearchDir(directory, pathKind);
        dialog.SetInitialPath(directory);
    }
    if (dialog.DoModal(parent) != 1 || dialog.Paths().empty()) return -1;
    SetLastDocumentFilterIndex(dialog.FilterIndex() + 1);
    int opened = 0;
    for (const std::string& chosen : dialog.Paths()) {
        char path[kPathSize];
        CopyTextBounded(path, chosen.c_str(), sizeof path);
        const int kind = ResolveDocumentExtension(path, sizeof path, kResolveOpen, kFilterAllDocuments);
        if (DocumentOpener().OpenFileOfKind(path, kind) == 0) ++opened;
    }
    return opened;
}

void RegisterFileTypeMessages() {
    RegisterMessages(kFileTypeMessages, static_cast<int>(sizeof kFileTypeMessages / sizeof kFileTypeMessages[0]));
}
