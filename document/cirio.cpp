#include "document/cirio.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/chars.h"
#include "core/desktop.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/port.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/cfsections.h"
#include "document/cirdoc.h"
#include "document/ctdoc.h"
#include "document/docmessages.h"
#include "document/iodoc.h"
#include "document/nodes.h"
#include "platform/app.h"
#include "shell/document.h"
#include "shell/mainframe.h"
#include "shell/messages.h"
#include "shell/report.h"

namespace {

constexpr int kCirioMsgWrongPassword = 13509;
constexpr int kCirioMsgTW4Nodes = 13503;
constexpr int kCirioMsgTW4Macro = 13505;
constexpr int kCirioMsgNewerVersion = 13512;
constexpr int kCirioMsgConvert = 15021;
constexpr int kCirioMsgIllegalCoordinates = 15026;
constexpr int kCirioMsgMissingComponents = 15080;

bool cirio_Exists(const char* path) {
    struct stat info;
    return lstat(path, &info) == 0;
}

// A copy of `source` as `target` (created new), for file systems without
// hard links. 0 or a result code; a half-written copy is removed.
int cirio_CopyFile(const char* source, const char* target) {
    int in = open(source, O_RDONLY | O_CLOEXEC);
    if (in < 0) return ErrnoToResult(errno);
    int out = open(target, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        int code = ErrnoToResult(errno);
        close(in);
        return code;
    }
    int code = kOk;
    char block[65536];
    for (;;) {
        ssize_t got = read(in, block, sizeof block);
        if (got < 0) {
            if (errno == EINTR) continue;
            code = ErrnoToResult(errno);
            break;
        }
        if (got == 0) break;
        for (ssize_t done = 0; done < got;) {
            ssize_t put = write(out, block + done, size_t(got - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                code = ErrnoToResult(errno);
                break;
            }
            done += put;
        }
        if (code) break;
    }
    close(in);
    if (close(out) != 0 && !code) code = ErrnoToResult(errno);
    if (code) unlink(target);
    return code;
}

// Puts the finished temporary file in place of the target. The previous
// target is first linked (or copied) to a second temporary name, the new
// file is then renamed over the target in one step, and only then does the
// link replace the old backup. Any failure leaves the target and its backup
// as they were and removes what this save created.
int cirio_ReplaceTarget(const char* temporary, const char* target) {
    const std::string backup = std::string(target) + "_bak";
    const std::string pendingBackup = backup + "$$TEMP$$";
    const bool hadTarget = cirio_Exists(target);
    // The new file reaches the disk before it takes the old one's place, and
    // keeps the old file's permissions.
    int handle = open(temporary, O_RDONLY | O_CLOEXEC);
    if (handle >= 0) {
        fsync(handle);
        close(handle);
    }
    struct stat old;
    if (hadTarget && stat(target, &old) == 0) chmod(temporary, old.st_mode & 07777);
    if (hadTarget) {
        unlink(pendingBackup.c_str());
        if (link(target, pendingBackup.c_str()) != 0) {
            if (int code = cirio_CopyFile(target, pendingBackup.c_str())) {
                unlink(temporary);
                return code;
            }
        }
    }
    if (rename(temporary, target) != 0) {
        int code = ErrnoToResult(errno);
        if (hadTarget) unlink(pendingBackup.c_str());
        unlink(temporary);
        return code;
    }
    if (hadTarget && rename(pendingBackup.c_str(), backup.c_str()) != 0) {
        int code = ErrnoToResult(errno);
        // The new file is in place but the old one could not be kept: put the
        // old one back so the caller's failure leaves everything as it was.
        if (rename(pendingBackup.c_str(), target) != 0) unlink(pendingBackup.c_str());
        return code;
    }
    return kOk;
}

void cirio_Report(uint32_t loadFlags, const MessageRequest& request) {
    if (loadFlags & kLoadSilent) return;
    ReportMessage(request);
}

}  // namespace

namespace {

class cirio_NoPrompt final : public PasswordPromptPort {
public:
    bool AskPassword(char*, size_t) override { return false; }
};

PortSlot<PasswordPromptPort, cirio_NoPrompt> cirio_passwordPrompt;

}  // namespace

PasswordPromptPort& PasswordPrompt() { return cirio_passwordPrompt.Get(); }
PasswordPromptPort* InstallPasswordPrompt(PasswordPromptPort* port) { return cirio_passwordPrompt.Install(port); }

// ---- saving ------------------------------------------------------------------------

int SaveCircuitFile(CCirDoc* document, const char* path, int32_t version) {
    if (!document || !path || !*path) return kResultBadFormat;
    if (CMDIView* view = document->MainView()) {
        platform::Placement placement;
        view->GetFramePlacement(&placement);
        if (placement.length == kPlacementLength)
            document->fileSettings.windowPlacement = FromPlatformPlacement(placement);
    }
    const std::string temporary = std::string(path) + "$$TEMP$$";
    CircuitFile file;
    if (int code = file.CreateText(temporary.c_str())) return code;
    file.document = document;
    file.version = version ? version : kCirVersion801;
    int result = WriteCircuitSections(file);
    int closed = file.Close();
    if (!result) result = closed;
    if (result) {
        unlink(temporary.c_str());
        SetPendingText(path);
        return result;
    }
    if (int code = cirio_ReplaceTarget(temporary.c_str(), path)) {
        SetPendingText(path);
        return code;
    }
    // Saved only now that the new file is in place.
    AddRecentFile(path);
    document->SetDirty(0);
    return kOk;
}

int SaveProtectedCircuitFile(CCirDoc* document, const char* path, const char* password) {
    if (!document || !path || !*path) return kResultBadFormat;
    const std::string plain = std::string(path) + "$$PLAIN$$";
    CircuitFile file;
    if (int code = file.CreateText(plain.c_str())) return code;
    file.document = document;
    file.version = kCirVersion801;
    int result = WriteCircuitSections(file);
    int closed = file.Close();
    if (!result) result = closed;
    std::string body;
    if (!result) {
        FILE* in = fopen(plain.c_str(), "rb");
        if (!in) {
            result = ErrnoToResult(errno);
        } else {
            char block[65536];
            size_t got;
            while ((got = fread(block, 1, sizeof block, in)) > 0) body.append(block, got);
            if (ferror(in)) result = kResultReadError;
            fclose(in);
        }
    }
    unlink(plain.c_str());
    if (result) return result;
    char* encoded = nullptr;
    size_t length = 0;
    if (int code = EncodeProtectedFile(body.data(), body.size(), password ? password : "", kCirVersion801, &encoded,
                                       &length)) {
        return code;
    }
    const std::string temporary = std::string(path) + "$$TEMP$$";
    FILE* out = fopen(temporary.c_str(), "wb");
    if (!out) {
        MemFree(encoded);
        SetPendingText(path);
        return ErrnoToResult(errno);
    }
    size_t put = fwrite(encoded, 1, length, out);
    MemFree(encoded);
    int closeFailed = fclose(out);
    if (put != length || closeFailed) {
        unlink(temporary.c_str());
        SetPendingText(path);
        return kResultWriteError;
    }
    if (int code = cirio_ReplaceTarget(temporary.c_str(), path)) return code;
    document->SetDirty(0);
    return kOk;
}

// ---- reading -----------------------------------------------------------------------

namespace {

// A protected file: its head is the binary header with the tag "CRP". The
// body is decoded into the stream's memory and reading goes on there.
int cirio_ReadProtected(CCirDoc* document, CircuitFile& file) {
    char password[40] = {};
    bool asked = false;
    if (!file.Hidden()) {
        asked = true;
        if (!PasswordPrompt().AskPassword(password, sizeof password)) password[0] = 0;
    }
    file.wrongPassword = false;
    int code = file.DecodeProtectedFile(asked ? password : nullptr);
    if (code) return code;
    if (file.wrongPassword || !asked) document->protectedFile = 1;
    if (asked && file.wrongPassword) return kCirioMsgWrongPassword;
    return kOk;
}

bool cirio_IsProtected(const char* path) {
    FILE* in = fopen(path, "rb");
    if (!in) return false;
    char head[4] = {};
    size_t got = fread(head, 1, sizeof head, in);
    fclose(in);
    return got == 4 && memcmp(head, "CRP", 4) == 0;
}

}  // namespace

int ReadCircuitFile(CCirDoc* document, CircuitFile& file, const char* path, bool deleteObjects) {
    const bool isProtected = cirio_IsProtected(path);
    if (int code = file.OpenText(path)) return code;
    file.document = document;
    if (isProtected) {
        if (int code = cirio_ReadProtected(document, file)) return code;
    }
    char first[51] = {};
    if (int code = file.ReadLine(first, sizeof first)) return code;
    int result = kOk;
    if (CompareNoCase(first, "[Main]") == 0) {
        file.currentSection[0] = 0;
        result = SerializeMainSection(file);
    } else {
        // Not yet built: the reader of files before the sectioned format.
        int32_t version = ParseVersionText(first);
        file.version = version;
        document->fileVersion = version;
        if (version == kCirVersion400 && (file.loadFlags & kLoadMacro)) {
            SetPendingText(path);
            if (file.Silent()) return kCirioMsgTW4Macro;
            ReportMessage(Message(kCirioMsgTW4Macro).Text(path));
            return kResultShown;
        }
        if (version == kCirVersion400 && !file.Silent()) {
            ReportMessage(Message(kCirioMsgTW4Nodes).Text(path));
            file.loadProblems = true;
        }
        SetPendingText(path);
        return version > 0 ? kCirioMsgConvert : kResultBadFormat;
    }
    document->fileVersion = file.version;
    if (result) return result;
    if ((file.version >> 16) > 8 && !file.Silent()) {
        ReportMessage(Message(kCirioMsgNewerVersion).Args(int(file.version >> 16)));
    }
    if (file.version < kCirVersion520) {
        SetPendingText(path);
        return kCirioMsgConvert;
    }
    if (deleteObjects) {
        document->objects.DeleteAll();
        document->gridTexts.DeleteAll();
    }
    result = ReadCircuitSections(document, file);
    RepairMacroParameters(file);
    return result;
}

namespace {

// The wait cursor and the "Wait" run state while a circuit is read, taken
// back on every way out of the read (the run state shows the mode again).
class cirio_LoadBusy {
public:
    explicit cirio_LoadBusy(bool showState) {
        if (showState) frame_ = GetMainFrame();
        if (frame_) frame_->SetRunStateTextById(kMsgWait);
    }
    ~cirio_LoadBusy() {
        if (frame_ && frame_ == GetMainFrame()) frame_->UpdateRunStateText();
    }
    cirio_LoadBusy(const cirio_LoadBusy&) = delete;
    cirio_LoadBusy& operator=(const cirio_LoadBusy&) = delete;

private:
    platform::WaitCursor cursor_;
    CMainFrame* frame_ = nullptr;
};

}  // namespace

int CCirDoc::LoadFromFile(const char* path, uint32_t loadFlags) {
    const int wasDirty = IsDirty();
    CircuitFile file;
    file.loadFlags = loadFlags;
    fileName[0] = 0;
    GetFileName(fileName, path);
    cirio_LoadBusy busy((loadFlags & kLoadSilent) == 0);
    int result = ReadCircuitFile(this, file, path, true);
    fileVersion = file.version;
    const bool hidden = (loadFlags & kLoadHidden) != 0;
    if (!result && !hidden) {
        if (file.version < kCirVersion800 && FindPageByName("Models") < 0) AppendPage(kPageText, "Models");
        if (GetFirstInfoPage() < 0) AppendPage(kPageInfo, "Info");
    }
    if (result && result != kCirioMsgMissingComponents && result != kResultShown) SetPendingText(path);
    int closed = file.Close();
    if (closed && !result) result = closed;
    if (hidden) flags |= kDocFlagOpenedHidden;

    if (!result && file.illegalCoordinates && !(loadFlags & kLoadNoCoordinateWarning)) {
        cirio_Report(loadFlags, Message(kCirioMsgIllegalCoordinates).Args(path));
    }
    if (!result && !file.missingComponents.empty()) {
        if (loadFlags & kLoadSilent) {
            SetPendingText(file.missingComponents.c_str());
            result = kCirioMsgMissingComponents;
        } else {
            ReportMessage(Message(kCirioMsgMissingComponents).View(MainView()).Args(file.missingComponents));
        }
    }
    if (result) {
        SetDirty(0);
        const bool silent = (loadFlags & kLoadSilent) != 0;
        OnCloseDocument();  // this document is gone from here on
        if (silent) return result;
        if (result != kResultShown) ReportMessage(Message(result));
        return kResultShown;
    }
    if (file.version < kCirVersion700 && MainView()) {
        // Older files kept one zoom for the whole circuit.
        for (int i = 0; i < PageCount(); ++i) {
            for (double& scale : Page(i)->scale) scale = fonts.zoom;
        }
    }
    untitled = 0;
    SetDirty(wasDirty);
    if (!(loadFlags & (kLoadFullPath | kLoadNoRecent | kLoadHidden))) AddRecentFile(path);
    needsNumbering = 1;
    if (!(loadFlags & kLoadNoRenumber)) RenumberNodesIfChanged(this, 1);
    if (file.localDefinitionsUsed) SetDirty(1);
    return kOk;
}

// ---- opening -----------------------------------------------------------------------

namespace {

// A hidden open of a circuit that is open in a window must see it as it is
// now, unsaved edits included: the open circuit is written to a scratch file
// and read back into a hidden document of its own. (Sharing the open
// circuit's object lists instead would tie the two documents' lifetimes.)
CCirDoc* cirio_HiddenCopy(CCirDoc* open, const char* path, uint32_t loadFlags, int* result) {
    const char* folder = getenv("TMPDIR");
    std::string scratch = std::string(folder && *folder ? folder : "/tmp") + "/tarnwick_copy_XXXXXX";
    int handle = mkstemp(scratch.data());
    if (handle < 0) {
        *result = ErrnoToResult(errno);
        return nullptr;
    }
    close(handle);
    {
        CircuitFile file;
        int code = file.CreateText(scratch.c_str());
        if (!code) {
            file.document = open;
            file.version = kCirVersion801;
            code = WriteCircuitSections(file);
            int closed = file.Close();
            if (!code) code = closed;
        }
        if (code) {
            unlink(scratch.c_str());
            *result = code;
            return nullptr;
        }
    }
    CCirDoc* copy = NewCircuitDocument();
    if (!copy) {
        unlink(scratch.c_str());
        *result = kResultNoMemory;
        return nullptr;
    }
    DocumentList().AddDocument(copy);
    CopyTextBounded(copy->pathName, path, sizeof copy->pathName);
    int loaded = copy->LoadFromFile(scratch.c_str(), loadFlags | kLoadNoRecent);
    unlink(scratch.c_str());
    if (loaded) {
        *result = loaded;  // the copy closed itself
        return nullptr;
    }
    copy->fileName[0] = 0;
    GetFileName(copy->fileName, path);
    copy->protectedFile = open->protectedFile;
    return copy;
}

}  // namespace

CDoc* OpenCircuitFile(const char* path, int kind, uint32_t loadFlags, int* code) {
    int ignored = 0;
    int& result = code ? *code : ignored;
    result = kOk;
    if (kind == 2) {
        // Not yet built: the text-window opener.
        result = kResultShown;
        return nullptr;
    }
    if (kind == -1) {
        SetPendingText(path ? path : "");
        cirio_Report(loadFlags, Message(kResultFileNotFound));
        result = kResultShown;
        return nullptr;
    }
    char fullPath[kPathNameSize] = {};
    const int findFlags = int(loadFlags & (kFindNoReport | kFindAsIs | kFindNoRecent | kFindSourceFiles));
    int found = 0;
    CDoc* open = FindOpenDocument(fullPath, path, findFlags, kDocCircuit, &found);
    if (found) {
        result = found;
        return nullptr;
    }
    const bool hidden = (loadFlags & kLoadHidden) != 0;
    if (open && !hidden) {
        auto* circuit = dynamic_cast<CCirDoc*>(open);
        if (circuit && circuit->MainView() && (loadFlags & kLoadRestorePlacement) &&
            circuit->fileSettings.windowPlacement.length == kPlacementLength) {
            circuit->MainView()->ApplyFramePlacement(ToPlatformPlacement(circuit->fileSettings.windowPlacement));
        }
        return open;
    }
    if (open && hidden) {
        if (auto* circuit = dynamic_cast<CCirDoc*>(open))
            return cirio_HiddenCopy(circuit, fullPath, loadFlags, &result);
    }
    CCirDoc* document = nullptr;
    if (hidden) {
        document = NewCircuitDocument();
        if (document) DocumentList().AddDocument(document);
    } else {
        document = dynamic_cast<CCirDoc*>(CreateDocumentOfKind(kDocCircuit, fullPath));
    }
    if (!document) {
        if (loadFlags & kLoadSilent) {
            result = kResultNoMemory;
        } else {
            ReportMessage(Message(kResultNoMemory));
            result = kResultShown;
        }
        return nullptr;
    }
    CopyTextBounded(document->pathName, fullPath, sizeof document->pathName);
    if (int loaded = document->LoadFromFile(fullPath, loadFlags)) {
        result = loaded;
        return nullptr;
    }
    if (document->MainView() && (loadFlags & (kLoadRestorePlacement | kLoadPlacementIfNew))) {
        // Without a stored placement the window opens maximized; either way
        // it shows (a new frame stays hidden until its opener places it).
        const WindowPlacement& stored = document->fileSettings.windowPlacement;
        document->MainView()->ApplyFramePlacement(stored.length == kPlacementLength ? ToPlatformPlacement(stored)
                                                                                    : platform::Placement{});
    }
    return document;
}

CCirDoc* OpenCircuitDocument(const char* path, uint32_t loadFlags, int* code) {
    return dynamic_cast<CCirDoc*>(OpenCircuitFile(path, 1, loadFlags, code));
}

// ---- reloading and installation ------------------------------------------------------

CIODoc* ReloadCircuitDocument(CIODoc* circuit) {
    auto* document = dynamic_cast<CCirDoc*>(circuit);
    if (!document) return nullptr;
    char path[kPathNameSize];
    CopyTextBounded(path, document->PathName(), sizeof path);
    // The new document is read before the old one closes, so a file that can
    // no longer be read leaves the open circuit as it was.
    auto* fresh = dynamic_cast<CCirDoc*>(CreateDocumentOfKind(kDocCircuit, path));
    if (!fresh) return nullptr;
    CopyTextBounded(fresh->pathName, path, sizeof fresh->pathName);
    if (fresh->LoadFromFile(path, kLoadRestorePlacement | kLoadFullPath)) return nullptr;
    document->SetDirty(0);
    document->OnCloseDocument();
    return fresh;
}

void InstallCircuitFile() {
    RegisterDocumentMessages();
    InstallCircuitObjectSections();
    InstallCircuitPageSections();
    InstallAnalysisSections();
}
