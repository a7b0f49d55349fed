#include "shell/statsdlg.h"

#include <unistd.h>

#include <cstdio>

#include "platform/dialog.h"
#include "shell/mainframe.h"

namespace {

using platform::ControlDesc;
using platform::ControlKind;

constexpr const char* kExecutableDate = "May 11 2004";
platform::Point st_position{-1, -1};

class NullStatistics final : public StatisticsPort {
public:
    void AppendCircuitStatistics(std::vector<std::string>&) override {}
};
NullStatistics st_null;
StatisticsPort* st_port = &st_null;

double st_InstalledMegabytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0.0;
    return static_cast<double>(pages) * static_cast<double>(pageSize) / 1048576.0;
}

}  // namespace

StatisticsPort& Statistics() { return *st_port; }
StatisticsPort* InstallStatistics(StatisticsPort* port) {
    StatisticsPort* previous = st_port == &st_null ? nullptr : st_port;
    st_port = port ? port : &st_null;
    return previous;
}

std::vector<std::string> ComposeStatisticsLines() {
    std::vector<std::string> lines;
    char line[100];
    std::snprintf(line, sizeof line, "Version = %s", kProductVersion);
    lines.emplace_back(line);
    std::snprintf(line, sizeof line, "Executable date = %s", kExecutableDate);
    lines.emplace_back(line);
    std::snprintf(line, sizeof line, "RAM memory installed = %.3f MEG", st_InstalledMegabytes());
    lines.emplace_back(line);
    Statistics().AppendCircuitStatistics(lines);
    return lines;
}

CStatisticsDlg::CStatisticsDlg(platform::Window* parent) : CDialog2(kStatisticsTemplate, &st_position, parent) {
    platform::DialogDesc desc;
    desc.caption = "Statistics";
    desc.cx = 220;
    desc.cy = 180;
    desc.controls.push_back(ControlDesc{ControlKind::ListBox, kStatisticsList, "", 7, 7, 206, 145, 0});
    desc.controls.push_back(ControlDesc{ControlKind::DefaultButton, kStatisticsClose, "&Close", 85, 158, 50, 14, 0});
    SetDescription(std::move(desc));
}

bool CStatisticsDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    for (const std::string& line : ComposeStatisticsLines()) Add(kStatisticsList, line.substr(0, 99));
    return true;
}

void CStatisticsDlg::OnControl(int id, platform::Notify what) {
    if (id == kStatisticsClose && what == platform::Notify::Clicked) {
        EndDialogSavingRect(0);
        return;
    }
    CDialog2::OnControl(id, what);
}

void OnStatistics(platform::Window* parent) {
    CStatisticsDlg dialog(parent);
    dialog.DoModal();
}
