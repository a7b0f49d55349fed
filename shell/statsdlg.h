// Help > Statistics: a read-only list of facts about the program, the machine
// and the current circuit, composed when the dialog opens.
#pragma once

#include <string>
#include <vector>

#include "shell/dialogs.h"

constexpr int kStatisticsTemplate = 17101;
constexpr int kStatisticsList = 109;
constexpr int kStatisticsClose = 23;

// The circuit's lines (component counts, run figures), added by the layers
// that own them; the null object adds nothing.
class StatisticsPort {
public:
    virtual ~StatisticsPort() = default;
    virtual void AppendCircuitStatistics(std::vector<std::string>& lines) = 0;
};
StatisticsPort& Statistics();
StatisticsPort* InstallStatistics(StatisticsPort* port);

// Every line of the list: version, build date, installed memory, then the
// circuit's.
std::vector<std::string> ComposeStatisticsLines();

class CStatisticsDlg : public CDialog2 {
public:
    explicit CStatisticsDlg(platform::Window* parent = nullptr);
    bool OnInitDialog() override;
    void OnControl(int id, platform::Notify what) override;
};

// Command 1021.
void OnStatistics(platform::Window* parent);
