// Opening circuit files that the user must be told about, with the messages
// shown: each open goes through the program's reporter into a real message
// box, which the modal answerer records and closes. Every kind of trouble on
// the road that opens a circuit shows its own text and leaves no document
// half open.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/report_port.h"
#include "document/circuitfile.h"
#include "document/cirdoc.h"
#include "document/cirio.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "platform/frame.h"
#include "shell/document.h"
#include "shell/report.h"
#include "tests/support/tempdir.h"

namespace {

namespace dlgid = platform::dlgid;

// One box the answerer saw.
struct om_Box {
    std::string caption;
    std::string text;
};

class OpenMessages : public ::testing::Test {
protected:
    void SetUp() override {
        previousReporter_ = IsReporterInstalled() ? &Reporter() : nullptr;
        InstallMessageReporter();
        InstallCircuitDocument();
        ASSERT_TRUE(dir_.Valid());
        platform::Application* app = platform::Application::Instance();
        ASSERT_NE(app, nullptr);
        ASSERT_TRUE(host_.Create("Tarnwick", platform::Rect{0, 0, 900, 700}));
        app->SetMainWindow(&host_);
        listed_ = DocumentList().count;
    }
    void TearDown() override {
        platform::Application::Instance()->SetMainWindow(nullptr);
        InstallReporter(previousReporter_);
    }

    std::string Path(const char* name) const { return dir_.Path() + "/" + name; }
    std::string Write(const char* name, const std::string& text) const {
        std::string path = Path(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    static std::string Circuit(const char* version, const std::string& body = "") {
        return std::string("[Main]\r\nFileType=CIR\r\nVersion=") + version + "\r\n\r\n" + body;
    }

    // Opens the file as the user does, with a window; every box is recorded
    // and answered with its first button, any other dialog cancelled.
    CCirDoc* Open(const std::string& path, int* code) {
        platform::ScopedModalAnswerer answerer([this](platform::ModalRequest& request) -> int {
            auto* box = dynamic_cast<CMessageBoxDlg*>(&request);
            if (!box) {
                ++otherDialogs_;
                return dlgid::Cancel;
            }
            boxes_.push_back({box->Title(), box->GetText(kMsgBoxText)});
            return box->Buttons().empty() ? dlgid::Ok : box->Buttons().front();
        });
        return OpenCircuitDocument(path.c_str(), kLoadFullPath | kLoadNoRecent, code);
    }

    std::vector<om_Box> boxes_;
    int otherDialogs_ = 0;
    int listed_ = 0;
    twtest::TempDir dir_{"om"};
    platform::MainFrame host_;
    MessageReporter* previousReporter_ = nullptr;
};

TEST_F(OpenMessages, EachTroubleShowsItsTextAndNoneCrashes) {
    auto protectedFile = [this] {
        auto doc = std::make_unique<CCirDoc>();
        std::string path = Path("locked.cir");
        EXPECT_EQ(0, SaveProtectedCircuitFile(doc.get(), path.c_str(), "secret"));
        return path;
    };
    struct Case {
        const char* name;
        std::string path;
        bool opens;
        // The boxes in order: caption, then the start of the text.
        std::vector<om_Box> shown;
    };
    const std::string newer = Write("newer.cir", Circuit("9.00"));
    const std::string unknown =
        Write("unknown.cir", Circuit("8.01", "[Comp]\r\nName=Flux Capacitor\r\nGrid=20,30\r\n"));
    const std::string malformed = Write("malformed.cir", "\x01\x02 not a circuit\r\n");
    const std::string badMain = Write("badmain.cir", "[Main]\r\nNothing=here\r\n");
    const std::string oldest = Write("oldest.cir", "4.00\r\n");
    const std::string outside = Write("outside.cir", Circuit("8.01", "[Wire]\r\nGrids=5,-3,40000,7\r\n"));
    const std::string missing = Path("missing.cir");
    const std::string locked = protectedFile();
    const std::vector<Case> cases = {
        {"saved by a newer version",
         newer,
         true,
         {{"TW8 Warning", "File has been saved in TW9 format. It may have lost critical data."}}},
        {"an unknown component", unknown, true, {{"TW8 Error", "Component(s) not found.\n'Flux Capacitor'"}}},
        {"coordinates off the drawing",
         outside,
         true,
         {{"TW8 Warning", "Circuit '" + outside + "' contains illegal coordinates."}}},
        {"not a circuit file", malformed, false, {{"TW8 Error", "Bad format in loading file '" + malformed + "'."}}},
        {"a [Main] without its keys", badMain, false, {{"TW8 Error", "Bad format in loading file '" + badMain + "'."}}},
        {"the oldest format",
         oldest,
         false,
         {{"TW8 Warning", "Tarnwick may assign nodes differently than TW4."},
          {"TW8 Error", "Must run CONVERT for '" + oldest + "' to force a conversion."}}},
        {"a missing file", missing, false, {{"TW8 Error", "No such file or directory " + missing}}},
        {"a wrong password", locked, false, {{"Tarnwick", "Incorrect password. Access denied."}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes_.clear();
        int code = -1;
        CCirDoc* doc = Open(c.path, &code);
        EXPECT_EQ(0, otherDialogs_);
        ASSERT_EQ(c.shown.size(), boxes_.size());
        for (size_t i = 0; i < boxes_.size(); ++i) {
            EXPECT_EQ(c.shown[i].caption, boxes_[i].caption);
            EXPECT_EQ(0u, boxes_[i].text.rfind(c.shown[i].text, 0)) << boxes_[i].text;
        }
        if (c.opens) {
            ASSERT_NE(nullptr, doc);
            EXPECT_EQ(0, code);
            EXPECT_EQ(c.path, doc->PathName());
            doc->SetDirty(0);
            doc->OnCloseDocument();
        } else {
            EXPECT_EQ(nullptr, doc);
            EXPECT_EQ(kResultShown, code);
        }
        EXPECT_EQ(listed_, DocumentList().count);
    }
}

// The missing component's box names the circuit it was read from, and the
// missing file's box names the file.
TEST_F(OpenMessages, BoxesNameTheirFile) {
    const std::string unknown =
        Write("unknown.cir", Circuit("8.01", "[Comp]\r\nName=Flux Capacitor\r\nGrid=20,30\r\n"));
    int code = -1;
    CCirDoc* doc = Open(unknown, &code);
    ASSERT_NE(nullptr, doc);
    ASSERT_EQ(1u, boxes_.size());
    EXPECT_NE(std::string::npos, boxes_[0].text.find("File:\t" + unknown)) << boxes_[0].text;
    doc->SetDirty(0);
    doc->OnCloseDocument();

    boxes_.clear();
    const std::string missing = Path("missing.cir");
    EXPECT_EQ(nullptr, Open(missing, &code));
    ASSERT_EQ(1u, boxes_.size());
    EXPECT_NE(std::string::npos, boxes_[0].text.find(missing)) << boxes_[0].text;
}

}  // namespace
