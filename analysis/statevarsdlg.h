// The State Variables Editor: a modeless window over the open analysis's
// present state, eight rows at a time of node voltages, inductor currents and
// digital node levels, each row a name and an edit field. The user edits the
// values, clears them, reads and writes the state-variables file, prints them
// to a text file and turns them into .IC statements in the circuit text.
#pragma once

#include <string>
#include <vector>

#include "shell/dialogs.h"

class CCTDoc;
struct SimulatorState;

constexpr unsigned kStateVariablesTemplate = 5400;
enum StateVariablesControl : int {
    kIdStateVoltage = 200,  // + row (0..7)
    kIdStateVoltageName = 100,
    kIdStateCurrent = 400,
    kIdStateCurrentName = 300,
    kIdStateLevel = 600,
    kIdStateLevelName = 500,
    kIdStateScroll = 5401,
    kIdStateClear = 5402,
    kIdStateRead = 5403,
    kIdStateWrite = 5404,
    kIdStatePrint = 5405,
    kIdStateCreateIc = 5406,
    kIdStateTitle = 5413,
};
constexpr int kStateVariablesRows = 8;
constexpr int kMsgCreateIcQuestion = 13660;
constexpr int kStateFileFilter = 10144;

// What the editor shows: the names of the analog nodes, the inductors with
// their branch unknowns, and the digital nodes of the open circuit.
struct StateVariableNames {
    std::vector<std::string> nodes;  // node i + 1
    std::vector<std::string> inductors;
    std::vector<int> inductorBranches;
    std::vector<std::string> digitalNodes;
    int Rows() const;
};

// Up to three .IC statements (voltages, digital levels, inductor currents) of
// the named entries, each continued on a new "+ " line before a line would
// grow longer than `width` characters. Lines end with CR-LF.
std::vector<std::string> BuildInitialConditionStatements(const StateVariableNames& names,
                                                         const std::vector<double>& solution,
                                                         const std::vector<char>& levels, int width);

// The printed form (the "SVV" file's rows after its heading).
std::string FormatStateVariableRows(const StateVariableNames& names, const std::vector<double>& solution,
                                    const std::vector<char>& levels);

class CStateVarDlg : public CDialog2 {
public:
    CStateVarDlg(CCTDoc* document, int kind, SimulatorState& state, StateVariableNames names);
    ~CStateVarDlg() override;

    bool OnInitDialog() override;
    void OnOK() override;  // Enter stores the field and stays
    void OnCancel() override;
    void OnControl(int id, platform::Notify notification) override;
    void OnPrompt(int id) override;

    // Rows from `top` on (kept within 0 .. rows - 8), refilled when it changed.
    void ScrollTo(int top);
    int TopRow() const { return top_; }
    int Rows() const { return names_.Rows(); }
    int ShownRows() const;
    // The field's text into the state (voltages into the three solution
    // vectors, currents into two); the field rewritten.
    void StoreField(int id);
    void FillRows();

    void Clear();
    // The file into the present state (Read...) or the state into it (Write...).
    int ReadFile(const std::string& path);
    int WriteFile(const std::string& path);
    int Print(const std::string& path);
    int CreateInitialConditions();

private:
    CCTDoc* document_;
    int kind_;
    SimulatorState& state_;
    StateVariableNames names_;
    int top_ = 0;
};

// The editor's command: opens it for the open analysis, or brings it
// forward. Nothing happens without an analysis or without rows.
int OpenStateVariablesEditor();
void CloseStateVariablesEditor();
CStateVarDlg* ActiveStateVariablesEditor();
// Set whenever the editor changed the state; the AC run then solves its bias again.
bool& StateVariablesChanged();

void RegisterStateVariablesMessages();
