// The settings file tarn.dat.
//
// Every setting that outlives a run, apart from the user and company names of the
// profile file, lives in one section file: a table of 34 sections in a fixed
// order, each served by the subsystem that owns the settings. The core owns the
// table, the [Main] section, loading and saving, and the reading of the older
// flat 5.30 layout.
//
// Subsystems built on top of the core serve their sections through routines that
// they register at start-up (RegisterSettingsSection). A row without a routine
// writes its header only and skips its lines when read, so a file read by a
// program that lacks a subsystem keeps that subsystem's settings at their defaults.
#pragma once

#include "core/sectionfile.h"

class TextFile;

// What reading tarn.dat needs of the shell: the preference switches and the
// inertial-cancellation switch of the older flat layout, and forgetting the
// main window's saved placement after a read whose [Main] screen size differs
// from the current screen. The null object does nothing.
class ShellSettingsPort {
public:
    virtual ~ShellSettingsPort() = default;
    virtual void UnpackOperationalOptions(unsigned word) = 0;
    virtual void SetInertialCancellation(bool on) = 0;
    virtual void ClearSavedPlacement() = 0;
};
ShellSettingsPort& ShellSettings();
ShellSettingsPort* InstallShellSettings(ShellSettingsPort* port);

// The records of the older flat layout that belong to later subsystems: the old
// global-settings record (analysis control) and the title-block texts (the
// schematic editor). Without an owner the flat layout is read only up to the
// old global-settings record, whose end only its owner knows.
class FlatLayoutRecordsPort {
public:
    virtual ~FlatLayoutRecordsPort() = default;
    // Reads the old global-settings record: 0 or a result code (kResultNotBuilt
    // from the null object).
    virtual int ReadOldGlobalSettings(TextFile& file) = 0;
    // One of the five title-block texts (0 to 4).
    virtual void SetTitleBlockText(int index, const char* text) = 0;
};
FlatLayoutRecordsPort& FlatLayoutRecords();
FlatLayoutRecordsPort* InstallFlatLayoutRecords(FlatLayoutRecordsPort* port);
bool HasFlatLayoutRecords();

// One section routine: writes or reads its section by the stream's mode and
// returns 0 or a result code. When reading it stops at the next header, which it
// leaves as the current section. Sections 9 to 16 (the tool bars) share one
// routine, which tells them apart by the file's current section.
using SettingsSectionRoutine = int (*)(SectionFile& file);

constexpr int kSettingsSectionCount = 34;

// The name of table row `index` (0 to 33, [Main] first), without brackets; null
// outside the table.
const char* SettingsSectionName(int index);
// The row of a section name (compared without case), or -1.
int FindSettingsSection(const char* name);
// Installs the routine of a section (null removes it). Returns false when the
// table has no section of that name.
bool RegisterSettingsSection(const char* name, SettingsSectionRoutine routine);
SettingsSectionRoutine SettingsSectionRoutineAt(int index);
// Whether the last read of tarn.dat met the section of row `index` (served or
// skipped). Sections the table does not list are not recorded.
bool SettingsSectionWasRead(int index);
// Back to the rows the core serves itself ([Main], [Last Loaded Files], [Path Groups]).
void ResetSettingsSections();

// tarn.dat as a section file.
class SettingsFile : public SectionFile {
public:
    // Writes all 34 sections in table order, or reads the file in its own order
    // (or in the flat 5.30 layout), then closes the stream. Returns the first
    // failure of a section, else the stream's result.
    int SerializeAll();

private:
    int ReadFlatLayout();
};

// The [Main] routine.
int SerializeSettingsMain(SectionFile& file);
// Whether the screen size recorded in the last [Main] read differed from the
// current screen (then the main window's saved placement is not restored).
bool SettingsScreenChanged();

// Resets every setting, reads the user and company names and tarn.dat. A missing
// file leaves the defaults (returns its open failure); a file that fails part-way
// is discarded as a whole and the defaults apply again. Returns 0 or the failure.
int LoadSettings();
// Writes tarn.dat (nothing while a demo plays, after a fatal start-up error or
// without a settings path). The file is written beside the old one and renamed
// into place, so a failed write never leaves a half-written tarn.dat; a failure is
// reported once, not again on every later save, until a save succeeds.
int SaveSettingsFile();

// The process-wide user and company names from the profile file (256 bytes each).
constexpr int kProfileNameSize = 256;
char* UserName();
char* CompanyName();
