// Common dialogs answered by script: files to open and save (filters, default
// extension, several files), colours with the custom row, fonts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/commondlg.h"

namespace {

using platform::ColorDialog;
using platform::FileDialog;
using platform::FontDialog;
using platform::ModalKind;
using platform::ModalRequest;
namespace dlgid = platform::dlgid;

TEST(CommonDlgFile, AnsweredChoicesAndDefaultExtension) {
    struct Case {
        const char* name;
        FileDialog::Mode mode;
        std::vector<std::string> chosen;
        int answer;
        int expected;
        std::vector<std::string> paths;
    };
    const std::vector<Case> cases = {
        {"save adds the default extension",
         FileDialog::Mode::Save,
         {"/tmp/work/amp"},
         dlgid::Ok,
         dlgid::Ok,
         {"/tmp/work/amp.cir"}},
        {"an extension of its own stays",
         FileDialog::Mode::Save,
         {"/tmp/work/amp.txt"},
         dlgid::Ok,
         dlgid::Ok,
         {"/tmp/work/amp.txt"}},
        {"a dot in a folder name is no extension",
         FileDialog::Mode::Save,
         {"/tmp/v1.2/amp"},
         dlgid::Ok,
         dlgid::Ok,
         {"/tmp/v1.2/amp.cir"}},
        {"open takes one file", FileDialog::Mode::Open, {"/a/x.cir", "/a/y.cir"}, dlgid::Ok, dlgid::Ok, {"/a/x.cir"}},
        {"open multiple takes all",
         FileDialog::Mode::OpenMultiple,
         {"/a/x.cir", "/a/y"},
         dlgid::Ok,
         dlgid::Ok,
         {"/a/x.cir", "/a/y.cir"}},
        {"cancel keeps the old choice",
         FileDialog::Mode::Open,
         {"/a/x.cir"},
         dlgid::Cancel,
         dlgid::Cancel,
         {"/old/file.cir"}},
        {"OK without a file is a cancel", FileDialog::Mode::Open, {}, dlgid::Ok, dlgid::Cancel, {"/old/file.cir"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileDialog dlg(c.mode);
        dlg.SetFilter("Circuit files (*.cir)|*.cir;*.ckt|All files (*.*)|*.*||");
        dlg.SetDefaultExtension(".cir");
        dlg.SetPaths({"/old/file.cir"});
        ModalKind seenKind = ModalKind::Dialog;
        platform::ScopedModalAnswerer answer([&](ModalRequest& r) {
            seenKind = r.Kind();
            auto& f = dynamic_cast<FileDialog&>(r);
            EXPECT_TRUE(f.Paths().empty());  // the answerer starts from no choice
            f.SetPaths(c.chosen);
            return c.answer;
        });
        EXPECT_EQ(c.expected, dlg.DoModal());
        EXPECT_EQ(c.mode == FileDialog::Mode::Save ? ModalKind::FileSave : ModalKind::FileOpen, seenKind);
        EXPECT_EQ(c.paths, dlg.Paths());
    }
}

TEST(CommonDlgFile, FilterStringsParse) {
    FileDialog dlg;
    dlg.SetFilter("Circuit files (*.cir)|*.cir;*.ckt|All files (*.*)|*.*||");
    auto list = dlg.FilterList();
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ("Circuit files (*.cir)", list[0].first);
    EXPECT_EQ("*.cir;*.ckt", list[0].second);
    EXPECT_EQ("*.*", list[1].second);
    dlg.SetFilter("Text|*.txt");  // no closing bars
    EXPECT_EQ(1u, dlg.FilterList().size());
    dlg.SetFilter("dangling description only");
    EXPECT_TRUE(dlg.FilterList().empty());
}

TEST(CommonDlgColor, AnsweredColourAndCustomRow) {
    ColorDialog dlg(platform::MakeColor(1, 2, 3));
    dlg.CustomColors()[0] = platform::MakeColor(9, 9, 9);
    {
        platform::ScopedModalAnswerer answer([](ModalRequest& r) {
            auto& c = dynamic_cast<ColorDialog&>(r);
            EXPECT_EQ(platform::MakeColor(1, 2, 3), c.GetColor());
            EXPECT_EQ(platform::MakeColor(9, 9, 9), c.CustomColors()[0]);
            c.SetColor(platform::MakeColor(200, 100, 50));
            c.CustomColors()[3] = platform::MakeColor(10, 20, 30);
            return dlgid::Ok;
        });
        EXPECT_EQ(dlgid::Ok, dlg.DoModal());
    }
    EXPECT_EQ(platform::MakeColor(200, 100, 50), dlg.GetColor());
    EXPECT_EQ(platform::MakeColor(10, 20, 30), dlg.CustomColors()[3]);
    platform::ScopedModalAnswerer cancel([](ModalRequest& r) {
        dynamic_cast<ColorDialog&>(r).SetColor(0);
        return dlgid::Cancel;
    });
    EXPECT_EQ(dlgid::Cancel, dlg.DoModal());
    EXPECT_EQ(platform::MakeColor(200, 100, 50), dlg.GetColor());  // a cancelled choice changes nothing
}

TEST(CommonDlgFont, AnsweredFont) {
    platform::FontDesc start;
    start.face = "Arial";
    start.height = -13;
    FontDialog dlg(start);
    platform::ScopedModalAnswerer answer([](ModalRequest& r) {
        EXPECT_EQ(ModalKind::FontChoice, r.Kind());
        auto& f = dynamic_cast<FontDialog&>(r);
        EXPECT_EQ("Arial", f.GetFont().face);
        platform::FontDesc chosen = f.GetFont();
        chosen.weight = 700;
        chosen.italic = true;
        f.SetFont(chosen);
        return dlgid::Ok;
    });
    EXPECT_EQ(dlgid::Ok, dlg.DoModal());
    EXPECT_TRUE(dlg.GetFont().IsBold());
    EXPECT_TRUE(dlg.GetFont().italic);
    EXPECT_EQ(-13, dlg.GetFont().height);
}

}  // namespace
