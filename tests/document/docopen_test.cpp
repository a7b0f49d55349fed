// The files a command line names open as their documents through the real
// start-up (off-screen); only a command line that names none opens the empty
// circuit window.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/paths.h"
#include "core/result.h"
#include "document/cirdoc.h"
#include "document/docopen.h"
#include "document/iodoc.h"
#include "platform/dialog.h"
#include "shell/app.h"
#include "shell/document.h"
#include "shell/mainframe.h"
#include "shell/preferences.h"
#include "shell/report.h"
#include "tests/support/tempdir.h"

namespace {

// The end of start-up's requests: counts the empty circuit windows asked for.
class docopen_Requests final : public StartupRequestsPort {
public:
    CDoc* OpenNewCircuitWindow() override {
        ++newWindows;
        return ::OpenNewCircuitWindow();
    }
    int StartAnalysis(CDoc*, int kind) override {
        analysesAsked.push_back(kind);
        return analysisResult;
    }
    void ShowTipOfTheDay() override {}
    int newWindows = 0;
    std::vector<int> analysesAsked;
    int analysisResult = 0;
};

class docopen_Startup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.Valid());
        SetHomeDirectory(home_.c_str());
        // Start-up resets the preferences to their defaults; the tests after
        // these find them as they were.
        savedObjectDefaults_ = Prefs().objectDefaults;
        std::copy(std::begin(ItemStyleTable), std::end(ItemStyleTable), savedStyles_);
        // Untitled names count from 1 in a fresh process, whatever ran before.
        ResetUntitledCounters();
        InstallCircuitDocument();
        InstallDocumentFileOpener();
        InstallStartupRequests(&requests_);
        app_->instanceName.clear();
    }
    void TearDown() override {
        if (CMainFrame* frame = GetMainFrame()) frame->CloseFrame(false);
        app_->ExitInstance();
        app_.reset();
        CloseAllDocuments();
        InstallStartupRequests(nullptr);
        InstallDocumentOpener(nullptr);
        ResetStartupState();
        SetHomeDirectory(nullptr);
        Prefs().objectDefaults = savedObjectDefaults_;
        std::copy(std::begin(savedStyles_), std::end(savedStyles_), ItemStyleTable);
        ResetUntitledCounters();
    }
    std::string WriteCircuit(const char* name) const {
        const std::string path = home_.Path() + "/" + name;
        std::ofstream(path, std::ios::binary)
            << "[Main]\r\nFileType=CIR\r\nVersion=8.01\r\nProgram=Tarnwick\r\nScreen=800,800\r\n";
        return path;
    }
    std::vector<std::string> OpenDocuments() const {
        std::vector<std::string> paths;
        for (CDoc* doc = FirstDocument(); doc; doc = doc->NextDocument())
            if (doc->MainView()) paths.push_back(doc->pathName);
        return paths;
    }

    twtest::TempDir home_{"tw_docopen"};
    ObjectDefaults savedObjectDefaults_;
    FontSpec savedStyles_[kItemStyleCount];
    docopen_Requests requests_;
    std::unique_ptr<CSimulatorApp> app_ = std::make_unique<CSimulatorApp>();
};

TEST_F(docopen_Startup, ANamedCircuitIsTheDocumentThatOpens) {
    const std::string path = WriteCircuit("amp.cir");
    ASSERT_TRUE(app_->InitInstance(path.c_str()));
    EXPECT_EQ(OpenDocuments(), std::vector<std::string>{path});
    EXPECT_EQ(requests_.newWindows, 0);
}

TEST_F(docopen_Startup, ANameRelativeToTheCurrentFolderOpensFromThere) {
    const std::string path = WriteCircuit("filter.cir");
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(home_.Path());
    const bool started = app_->InitInstance("filter.cir");
    std::filesystem::current_path(previous);
    ASSERT_TRUE(started);
    EXPECT_EQ(OpenDocuments(), std::vector<std::string>{path});
}

TEST_F(docopen_Startup, WithoutANamedFileTheEmptyCircuitOpens) {
    ASSERT_TRUE(app_->InitInstance(""));
    EXPECT_EQ(requests_.newWindows, 1);
    ASSERT_EQ(OpenDocuments().size(), 1u);
    EXPECT_NE(OpenDocuments()[0].find("circuit1.cir"), std::string::npos);
}

TEST_F(docopen_Startup, AnAnalysisThatCannotStartSaysWhy) {
    const std::string path = WriteCircuit("amp.cir");
    requests_.analysisResult = kResultNotBuilt;
    InstallMessageReporter();
    std::vector<std::string> shown;
    platform::ScopedModalAnswerer answerer([&shown](platform::ModalRequest& request) -> int {
        if (auto* box = dynamic_cast<CMessageBoxDlg*>(&request)) shown.push_back(box->GetText(kMsgBoxText));
        return platform::dlgid::Ok;
    });
    ASSERT_TRUE(app_->InitInstance((path + " /A").c_str()));
    EXPECT_EQ(requests_.analysesAsked, std::vector<int>{1});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("This feature is not available yet."), std::string::npos) << shown[0];
}

TEST(docopen_Kinds, CircuitsAreKnownByTheirExtension) {
    const struct {
        const char* path;
        int kind;
    } cases[] = {
        {"/w/amp.cir", kDocCircuit},
        {"/w/AMP.CIR", kDocCircuit},
        {"macro.mac", kDocCircuit},
        {"/w/notes.txt", -1},
        {"/w.cir/readme", -1},
        {"noextension", -1},
        {"", -1},
        {nullptr, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(DocumentKindOfPath(c.path), c.kind) << (c.path ? c.path : "(null)");
}

}  // namespace
