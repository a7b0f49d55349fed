#include "core/paths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/cmdline.h"
#include "core/memory.h"
#include "core/recentlist.h"
#include "core/sectionfile.h"
#include "tests/support/tempdir.h"

namespace {}  // namespace

// A fresh folder tree per test, with the process-wide path state reset around it.
class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.Valid());
        savedProgramDirectory_ = ProgramDirectory();
        ResetState();
        SetProgramDirectory(root_.c_str());
    }
    void TearDown() override {
        ResetState();
        SetProgramDirectory(savedProgramDirectory_.c_str());
    }
    static void ResetState() {
        for (int kind = 0; kind < 3; kind++) SetPathSetting(kind, "");
        ClearDotPaths();
        ClearPathGroups();
    }

    std::string Folder(const char* name) {
        std::string path = root_.Path() + "/" + name;
        mkdir(path.c_str(), 0755);
        return path;
    }
    void Touch(const std::string& path) {
        FILE* f = fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fclose(f);
    }

    twtest::TempDir root_{"tw_paths"};
    std::string savedProgramDirectory_;
};

TEST_F(PathsTest, FindFileOnPathsSearchesDotPathsThenSettings) {
    std::string d1 = Folder("d1"), d2 = Folder("d2"), d3 = Folder("d3");
    Touch(d2 + "/amp.cir");
    Touch(d3 + "/amp.cir");
    SetPathSetting(kPathData, (d1 + "; " + d2 + "/").c_str());

    char name[kPathSize] = "  amp.cir ";
    EXPECT_EQ(FindFileOnPaths(name, kPathData), 0);
    EXPECT_EQ(std::string(name), d2 + "/amp.cir");

    strcpy(name, "missing.cir");
    EXPECT_EQ(FindFileOnPaths(name, kPathData), 15952);
    EXPECT_STREQ(name, "missing.cir");

    // A .PATH statement's folders, as the netlist reader read them, come first;
    // a bad kind and an empty list add nothing.
    EXPECT_EQ(AddDotPath(kPathData, d3.c_str()), 0);
    EXPECT_EQ(AddDotPath(7, "/x"), 10945);
    EXPECT_EQ(AddDotPath(-1, "/x"), 10945);
    EXPECT_EQ(AddDotPath(kPathData, ""), 0);
    strcpy(name, "amp.cir");
    EXPECT_EQ(FindFileOnPaths(name, kPathData), 0);
    EXPECT_EQ(std::string(name), d3 + "/amp.cir");

    ClearDotPaths();
    strcpy(name, "amp.cir");
    EXPECT_EQ(FindFileOnPaths(name, kPathData), 0);
    EXPECT_EQ(std::string(name), d2 + "/amp.cir");
}

TEST_F(PathsTest, EntryTooLongForTheBufferIsSkipped) {
    std::string d2 = Folder("d2");
    Touch(d2 + "/lib.lib");
    std::string longEntry = "/" + std::string(300, 'x');
    std::string list = longEntry + ";" + d2;
    SetPathSetting(kPathLibrary, list.c_str());

    char entry[kPathSize];
    const char* rest = NextPathListEntry(list.c_str(), entry, sizeof entry);
    ASSERT_NE(rest, nullptr);
    EXPECT_STREQ(entry, "");
    rest = NextPathListEntry(rest, entry, sizeof entry);
    ASSERT_NE(rest, nullptr);
    EXPECT_EQ(std::string(entry), d2);
    EXPECT_EQ(NextPathListEntry(rest, entry, sizeof entry), nullptr);

    char name[kPathSize] = "lib.lib";
    EXPECT_EQ(FindFileOnPaths(name, kPathLibrary), 0);
    EXPECT_EQ(std::string(name), d2 + "/lib.lib");
    EXPECT_EQ(GetPathListEntry(kPathLibrary, entry, 0), 1);
    EXPECT_EQ(std::string(entry), d2);
}

TEST_F(PathsTest, NameParts) {
    struct Case {
        const char* path;
        const char* base;
        const char* extension;
        const char* directory;
        const char* file;
    };
    const Case cases[] = {
        {"/a/b/amp.cir", "amp", ".cir", "/a/b/", "amp.cir"},
        {"/a/b.dir/amp", "amp", "", "/a/b.dir/", "amp"},
        {"amp.tar.gz", "amp.tar", ".gz", "", "amp.tar.gz"},
        {"/a/", "", "", "/a/", ""},
    };
    for (const Case& c : cases) {
        char out[kPathSize] = "";
        GetBaseName(out, c.path);
        EXPECT_STREQ(out, c.base) << c.path;
        GetExtension(out, c.path);
        EXPECT_STREQ(out, c.extension) << c.path;
        out[0] = 0;
        GetDirectory(out, c.path);
        EXPECT_STREQ(out, c.directory) << c.path;
        out[0] = 0;
        GetFileName(out, c.path);
        EXPECT_STREQ(out, c.file) << c.path;
    }
}

TEST_F(PathsTest, ChangeExtension) {
    struct Case {
        const char* path;
        const char* extension;
        const char* result;
    };
    const Case cases[] = {
        {"/a/b.dir/file", "cir", "/a/b.dir/file.cir"},
        {"/a/x.CIR", "cir", "/a/x.CIR"},
        {"/a/x.txt", "cir", "/a/x.cir"},
        {"x.", "MAC", "x.MAC"},
    };
    for (const Case& c : cases) {
        char path[kPathSize];
        strcpy(path, c.path);
        EXPECT_STREQ(ChangeExtension(path, c.extension), c.result) << c.path;
    }
    // A buffer too small for the new extension is never overrun.
    char small[8] = "abcdef";
    ChangeExtension(small, "cir", sizeof small);
    EXPECT_LT(strlen(small), sizeof small);

    char macro[kPathSize] = "amp";
    EXPECT_EQ(AddMacroExtension(macro), 1);
    EXPECT_STREQ(macro, "amp.MAC");
    EXPECT_EQ(AddMacroExtension(macro), 0);
}

TEST_F(PathsTest, PathListEntriesAndIndexFolder) {
    SetPathSetting(kPathPicture, " /p1 ;; /p2/;");
    char out[kPathSize];
    EXPECT_EQ(GetPathListEntry(kPathPicture, out, 0), 1);
    EXPECT_STREQ(out, "/p1");
    EXPECT_EQ(GetPathListEntry(kPathPicture, out, 1), 1);
    EXPECT_STREQ(out, "/p2/");
    EXPECT_EQ(GetPathListEntry(kPathPicture, out, 2), 0);
    EXPECT_STREQ(out, "");

    EXPECT_EQ(GetPathListEntry(kPathIndex, out, 0), 1);
    EXPECT_EQ(std::string(out), root_.Path() + "/inx");
    strcpy(out, "junk");
    EXPECT_EQ(GetPathListEntry(kPathIndex, out, 1), 0);
    EXPECT_STREQ(out, "");

    GetFirstSearchDir(out, kPathPicture);
    EXPECT_STREQ(out, "/p1");
    EXPECT_STREQ(GetSearchPath(9), "");

    char missing[kPathSize] = "unchanged";
    std::string d1 = Folder("d1");
    EXPECT_EQ(FindFirstMissingDir((d1 + ";" + root_.Path() + "/none;/x").c_str(), missing), 0);
    EXPECT_EQ(std::string(missing), root_.Path() + "/none");
    EXPECT_EQ(FindFirstMissingDir(d1.c_str(), missing), 1);
    EXPECT_STREQ(missing, "");
}

TEST_F(PathsTest, ResetDefaultPathsKeepsStoredPathsUnlessForced) {
    SetPathSetting(kPathLibrary, "/my/lib");
    PathGroup group;
    group.name = "Work";
    group.data = "/w/data";
    AddPathGroup(group);

    ResetDefaultPaths(false);
    EXPECT_EQ(std::string(GetPathSetting(kPathData)), root_.Path() + "/data/");
    EXPECT_EQ(std::string(GetPathSetting(kPathPicture)), root_.Path() + "/data/");
    EXPECT_STREQ(GetPathSetting(kPathLibrary), "/my/lib");
    ASSERT_EQ(PathGroupCount(), 1);
    EXPECT_STREQ(GetPathGroup(0)->name.c_str(), "Work");

    ResetDefaultPaths(true);
    EXPECT_EQ(std::string(GetPathSetting(kPathLibrary)), root_.Path() + "/library/");
    ASSERT_EQ(PathGroupCount(), 1);
    EXPECT_STREQ(GetPathGroup(0)->name.c_str(), "TW8");
    EXPECT_EQ(GetPathGroup(0)->library, root_.Path() + "/library/");
}

TEST_F(PathsTest, PathGroupsRoundTrip) {
    PathGroup a;
    a.name = "First";
    a.data = "/d1;/d2";
    a.library = "/lib";
    a.picture = "";
    PathGroup b;
    b.name = "Second";
    b.data = "/e";
    b.library = "/f";
    b.picture = "/g";
    ASSERT_EQ(AddPathGroup(a), 0);
    ASSERT_EQ(AddPathGroup(b), 1);

    std::string path = root_.Path() + "/groups.dat";
    {
        SectionFile file;
        ASSERT_EQ(file.CreateText(path.c_str()), 0);
        EXPECT_EQ(SerializePathGroups(file), 0);
        // A hand-edited group with "\" separators and a key before any title.
        file.PutText("Data=\"/ignored\"\nTitle=\"Third\"\nData=\"\\old\\data\"\n");
        ASSERT_EQ(file.Close(), 0);
    }
    ClearPathGroups();
    PathGroup stale;
    stale.name = "Stale";
    AddPathGroup(stale);
    {
        SectionFile file;
        ASSERT_EQ(file.OpenText(path.c_str()), 0);
        EXPECT_EQ(SerializePathGroups(file), 0);
        file.Close();
    }
    ASSERT_EQ(PathGroupCount(), 3);
    EXPECT_STREQ(GetPathGroup(0)->name.c_str(), "First");
    EXPECT_STREQ(GetPathGroup(0)->data.c_str(), "/d1;/d2");
    EXPECT_STREQ(GetPathGroup(0)->library.c_str(), "/lib");
    EXPECT_STREQ(GetPathGroup(0)->picture.c_str(), "");
    EXPECT_STREQ(GetPathGroup(1)->picture.c_str(), "/g");
    EXPECT_STREQ(GetPathGroup(2)->data.c_str(), "/old/data");

    RemovePathGroup(0);
    ASSERT_EQ(PathGroupCount(), 2);
    EXPECT_STREQ(GetPathGroup(0)->name.c_str(), "Second");
    EXPECT_EQ(GetPathGroup(2), nullptr);
}

TEST_F(PathsTest, UniqueNamesMacrosAndRecentFiles) {
    std::string base = root_.Path() + "/out.cir";
    Touch(root_.Path() + "/out.0");
    char path[kPathSize];
    strcpy(path, base.c_str());
    MakeUniqueFileName(path);
    EXPECT_EQ(std::string(path), root_.Path() + "/out.1");

    std::string lib = Folder("lib");
    Touch(lib + "/amp.MAC");
    SetPathSetting(kPathLibrary, lib.c_str());
    char out[kPathSize];
    EXPECT_EQ(ResolveMacroFileName(out, "amp"), 0);
    EXPECT_EQ(std::string(out), lib + "/amp.MAC");
    EXPECT_EQ(ResolveMacroFileName(out, "amp.txt"), kResultBadMacroExtension);
    EXPECT_EQ(ResolveMacroFileName(out, "new.cir"), 0);
    EXPECT_STREQ(out, "new.cir");  // missing: left for the caller's open to report

    RecentFiles().Init(3, "FILE_");
    AddRecentFile("/a.cir");
    Startup().batchMode = 8;
    AddRecentFile("/batch.cir");
    Startup().batchMode = 0;
    SetDemoPlaying(true);
    AddRecentFile("/demo.cir");
    SetDemoPlaying(false);
    EXPECT_STREQ(RecentFiles().Text(0), "/a.cir");
    EXPECT_EQ(RecentFiles().Text(1), nullptr);
    RecentFiles().Clear();
}

TEST_F(PathsTest, HomeAndTemporaryFolders) {
    char out[kPathSize];
    EXPECT_TRUE(ChooseHomeDirectory(out, root_.c_str(), nullptr, nullptr));
    EXPECT_EQ(std::string(out), root_.Path());

    std::string missing = root_.Path() + "/no/such/program";
    std::string config = root_.Path() + "/config";
    EXPECT_TRUE(ChooseHomeDirectory(out, missing.c_str(), config.c_str(), "/nowhere"));
    EXPECT_EQ(std::string(out), config + "/tarnwick");
    struct stat info;
    EXPECT_EQ(stat(out, &info), 0);

    EXPECT_TRUE(ChooseHomeDirectory(out, missing.c_str(), "", root_.c_str()));
    EXPECT_EQ(std::string(out), root_.Path() + "/.config/tarnwick");

    SetHomeDirectory(root_.c_str());
    MakeHomePath(out, "tarn.dat");
    EXPECT_EQ(std::string(out), root_.Path() + "/tarn.dat");
    SetHomeDirectory(nullptr);
    // Decided anew from a changed program directory.
    std::string other = Folder("other");
    SetProgramDirectory(other.c_str());
    MakeHomePath(out, "tarn.dat");
    EXPECT_EQ(std::string(out), other + "/tarn.dat");
    SetProgramDirectory(root_.c_str());

    MakeProgramPath(out, "help.tw8");
    EXPECT_EQ(std::string(out), root_.Path() + "/help.tw8");
    MakeProgramFilePath(out, "/else/where/demo.cir", "tw8");
    EXPECT_EQ(std::string(out), root_.Path() + "/demo.tw8");

    const char* saved = getenv("TMPDIR");
    std::string keep = saved ? saved : "";
    setenv("TMPDIR", "/var/scratch;/other", 1);
    MakeTempPath(out, "x.tmp");
    EXPECT_STREQ(out, "/var/scratch/x.tmp");
    if (saved)
        setenv("TMPDIR", keep.c_str(), 1);
    else
        unsetenv("TMPDIR");
}
