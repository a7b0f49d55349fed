// Document file kinds and the file dialogs: the extension table, filter texts,
// completing typed names for opening and saving, and the dialogs' checks of a
// chosen name (answered by the modal answerer, never shown).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/paths.h"
#include "platform/commondlg.h"
#include "platform/dialog.h"
#include "shell/document.h"
#include "shell/filetypes.h"
#include "shell/messages.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

// The warnings the dialogs showed, each as its text with the argument filled in.
struct ft_test_Warnings {
    std::vector<std::string> texts;
    ScopedTestReporter reporter{[this](const MessageRequest& r) {
        std::string text = r.format() ? r.format() : "";
        const size_t at = text.find("%s");
        if (at != std::string::npos) text.replace(at, 2, ScopedTestReporter::TextArg(r));
        texts.push_back(text);
        return platform::dlgid::Ok;
    }};
};

class FileTypesTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterShellMessages();
        SetPathSetting(kPathData, data_.Path().c_str());
        SetPathSetting(kPathLibrary, library_.Path().c_str());
    }
    void TearDown() override {
        SetPathSetting(kPathData, nullptr);
        SetPathSetting(kPathLibrary, nullptr);
        SetLastDocumentFilterIndex(1);
    }
    twtest::TempDir data_{"ft_data"};
    twtest::TempDir library_{"ft_lib"};
};

TEST_F(FileTypesTest, ExtensionsGiveKindsInTableOrder) {
    const struct {
        const char* path;
        int kind;
    } cases[] = {
        {"/x/amp.cir", kDocCircuit}, {"/x/AMP.Mac", kDocCircuit},
        {"/x/m.lbr", kDocLibrary},   {"/x/deck.ckt", kDocText},
        {"/x/parts.LIB", kDocText},  {"/x/m.mdl", kDocModel},
        {"/x/r.res", kDocText},      {"/x/notes.txt", -1},
        {"/x.y/noext", -1},          {"", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(GetDocumentKindOfFile(c.path), c.kind) << c.path;
    EXPECT_EQ(FileTypeRowCount(), 11);
    EXPECT_EQ(FindFileTypeRow("a.ind"), 10);
}

TEST_F(FileTypesTest, FilterTextsByKind) {
    const std::string all = GetFilterText(kFilterAllDocuments);
    EXPECT_EQ(all.rfind("Schematic (*.CIR)|*.CIR|Macro (*.MAC)|*.MAC|SPICE (*.CKT;*.STM)|", 0), 0u);
    EXPECT_NE(all.find("|Filter (*.RES;*.CAP;*.IND)|*.res;*.cap;*.ind|All Files (*.*)|*.*|"), std::string::npos);
    EXPECT_EQ(GetFilterText(kDocCircuit), "Schematic (*.CIR)|*.CIR|Macro (*.MAC)|*.MAC|");
    EXPECT_EQ(GetFilterText(kDocText), "SPICE library (*.LIB)|*.LIB|");
    EXPECT_EQ(GetFilterText(kDocLibrary), "Model Library (*.LBR)|*.LBR|");
}

TEST_F(FileTypesTest, OpeningANameWithoutExtensionSearchesTheRowsInOrder) {
    char path[kPathSize] = "amp";
    // Neither file exists: -1 and the name as typed.
    EXPECT_EQ(ResolveDocumentExtension(path, sizeof path, kResolveOpen, kDocCircuit), -1);
    EXPECT_STREQ(path, "amp");

    // A macro on the library path, then a schematic on the data path, which wins.
    const std::string macro = library_.Write("amp.mac", "x");
    EXPECT_EQ(ResolveDocumentExtension(path, sizeof path, kResolveOpen, kDocCircuit), kDocCircuit);
    EXPECT_EQ(std::string(path), macro);
    const std::string schematic = data_.Write("amp.CIR", "x");
    std::strcpy(path, "amp");
    EXPECT_EQ(ResolveDocumentExtension(path, sizeof path, kResolveOpen, kDocCircuit), kDocCircuit);
    EXPECT_EQ(std::string(path), schematic);

    // A name of a type outside the table opens as text, completed on the data path.
    std::strcpy(path, "notes.txt");
    EXPECT_EQ(ResolveDocumentExtension(path, sizeof path, kResolveOpen, kFilterAllDocuments), kDocText);
    EXPECT_EQ(std::string(path), data_.Path() + "/notes.txt");
}

TEST_F(FileTypesTest, SavingGivesTheKindsExtension) {
    const struct {
        const char* typed;
        int kind;
        const char* saved;
        bool inLibrary;  // the row's search path: data or library
        int result;
    } cases[] = {
        {"amp", kDocCircuit, "amp.CIR", false, kDocCircuit},
        {"amp.mac", kDocCircuit, "amp.mac", true, kDocCircuit},
        {"amp.txt", kDocCircuit, "amp.CIR", false, kDocCircuit},
        {"  deck.ckt ", kDocText, "deck.ckt", false, kDocText},
        {"models", kDocLibrary, "models.LBR", true, kDocLibrary},
    };
    for (const auto& c : cases) {
        char path[kPathSize];
        std::strcpy(path, c.typed);
        EXPECT_EQ(ResolveDocumentExtension(path, sizeof path, kResolveSave, c.kind), c.result) << c.typed;
        const std::string folder = c.inLibrary ? library_.Path() : data_.Path();
        EXPECT_EQ(std::string(path), folder + "/" + c.saved) << c.typed;
    }
}

TEST_F(FileTypesTest, FilterExtensionListsAndTheirRefusals) {
    EXPECT_EQ(ExtensionListOfFilter("Schematic (*.CIR)|*.CIR|Macro (*.MAC)|*.MAC|"),
              (std::vector<std::string>{"CIR", "MAC"}));
    EXPECT_EQ(ExtensionListOfFilter("JPEG|*.JPG;*.JPEG;*.jpg|All|*.*|"),
              (std::vector<std::string>{"JPG", "JPEG", "*"}));
    std::string many;
    for (int i = 0; i < 25; ++i) many += "x|*.e" + std::to_string(10 + i) + "|";
    EXPECT_EQ(ExtensionListOfFilter(many).size(), 20u);

    ft_test_Warnings warnings;
    const std::vector<std::string> circuits = {"CIR", "MAC"};
    EXPECT_TRUE(AcceptFileNameByExtensions("/d/x.cir", circuits));
    EXPECT_TRUE(AcceptFileNameByExtensions("/d/x", circuits));
    EXPECT_TRUE(AcceptFileNameByExtensions("/d/*.lib", circuits));
    EXPECT_FALSE(AcceptFileNameByExtensions("/d/x.lib", circuits));
    EXPECT_FALSE(AcceptFileNameByExtensions("/d/x.lib", {"CIR", "MAC", "CKT"}));
    EXPECT_EQ(warnings.texts, (std::vector<std::string>{"File name must have an 'CIR' or 'MAC' extension.",
                                                        "File name must have an 'CIR', 'MAC' or 'CKT' extension."}));
}

TEST_F(FileTypesTest, FileDialogShowsAgainAfterARefusedNameAndCancelEmptiesThePath) {
    ft_test_Warnings warnings;
    std::vector<std::string> answers = {"/d/x.lib", "/d/y.mac"};
    size_t asked = 0;
    std::string title, initial;
    platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
        auto* dialog = dynamic_cast<platform::FileDialog*>(&request);
        if (!dialog || asked >= answers.size()) return platform::dlgid::Cancel;
        title = dialog->Title();
        initial = dialog->InitialPath();
        dialog->SetPaths({answers[asked++]});
        dialog->SetFilterIndex(1);
        return platform::dlgid::Ok;
    });
    char path[kPathSize] = "old.cir";
    int filterIndex = 1;
    EXPECT_EQ(ShowFileDialog(10133, true, nullptr, "/lib1;/lib2", path, sizeof path, nullptr, "Pick", &filterIndex), 1);
    EXPECT_STREQ(path, "/d/y.mac");
    EXPECT_EQ(filterIndex, 2);
    EXPECT_EQ(asked, 2u);
    EXPECT_EQ(title, "Pick");
    EXPECT_EQ(initial, "/lib1/old.cir");
    EXPECT_EQ(warnings.texts, (std::vector<std::string>{"File name must have an 'CIR' or 'MAC' extension."}));

    // An answer refused twice in a row ends the dialog as Cancel.
    answers = {"/d/x.lib", "/d/x.lib", "/d/y.mac"};
    asked = 0;
    warnings.texts.clear();
    std::strcpy(path, "old.cir");
    EXPECT_EQ(ShowFileDialog(10133, true, nullptr, nullptr, path, sizeof path, nullptr, "Pick", nullptr), 2);
    EXPECT_EQ(asked, 2u);
    EXPECT_EQ(warnings.texts.size(), 2u);

    // Cancelled: the caller's name is gone.
    asked = answers.size();
    EXPECT_EQ(ShowOpenFileDialog(nullptr, nullptr, path, sizeof path, 10133, "Pick"), 2);
    EXPECT_STREQ(path, "");
}

TEST_F(FileTypesTest, SaveDocumentDialogEnforcesTheKindsExtension) {
    ft_test_Warnings warnings;
    std::vector<std::string> answers = {data_.Path() + "/amp.txt", data_.Path() + "/amp"};
    size_t asked = 0;
    platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
        auto* dialog = dynamic_cast<platform::FileDialog*>(&request);
        if (!dialog || asked >= answers.size()) return platform::dlgid::Cancel;
        EXPECT_EQ(dialog->GetMode(), platform::FileDialog::Mode::Save);
        dialog->SetPaths({answers[asked++]});
        return platform::dlgid::Ok;
    });
    char path[kPathSize] = "circuit1.cir";
    EXPECT_EQ(ShowSaveDocumentDialog(nullptr, nullptr, path, sizeof path, kDocCircuit), kDocCircuit);
    // The platform dialog gives a bare name its default extension ("CIR").
    EXPECT_EQ(std::string(path), data_.Path() + "/amp.CIR");
    EXPECT_EQ(warnings.texts, (std::vector<std::string>{"File name must have an 'CIR' or 'MAC' extension."}));
    EXPECT_EQ(ShowSaveDocumentDialog(nullptr, nullptr, path, sizeof path, kDocCircuit), -1);
    EXPECT_STREQ(path, "");
}

}  // namespace
