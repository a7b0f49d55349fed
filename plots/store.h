// The paged data-point store of a plot document: the values of every analysis
// point of every run, addressed by data column and point index.
//
// Columns are handed out per curve when the store is prepared; column 0 is
// shared by all curves and holds the analysis variable. Point indices run on
// across all runs of the document, and each curve records the first and last
// point index of every run. Values live in pages of 4096 points. Pages stay in
// memory while the system has room; after the first page that does not fit,
// every further page goes to a temporary file of this store alone, and one file
// page at a time is held in a buffer to be read or written. The file gets a
// name no other store shares, is made on the first page written back, and is
// removed when the store is freed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plots/curve.h"

constexpr int kPagePoints = 4096;
constexpr int kStepPanelCount = 21;
// Pages are kept in memory only while at least this much memory is free.
constexpr uint64_t kMinFreeMemoryForPage = 0x800000;

// One run of a document: what captions and readouts show for it.
struct RunRecord {
    int32_t RunNumber = 0;
    double Temperature = 0;
    double StepValue[kStepPanelCount] = {};
    int32_t StepIndex[kStepPanelCount] = {};
    double Sweep2Value = 0;
};

// The runs of a document: one record per expected run, and the runs started.
struct RunLog {
    std::vector<RunRecord> Records;
    int32_t Count = 0;
};

// How a document lays out the columns of its curves.
struct StoreLayout {
    int32_t RunsExpected = 1;
    // Eight columns per curve (the AC run of a 2D analysis), else two.
    bool AcColumns = false;
    // A curve whose X is the time variable on a linear rectangular axis and that
    // is not digital takes the shared column 0 as its X column (2D analysis in a
    // transient or distortion run). Y never shares it.
    bool ShareTimeColumn = false;
};

enum PagePlace : int32_t { kPageUnplaced = 0, kPageInFile = 1, kPageInMemory = 3 };

// Page p holds the points p x 4096 to p x 4096 + 4095 of every column.
struct DataPage {
    int32_t Where = kPageUnplaced;
    int32_t Slot = 0;                   // file slot of a file page
    bool Written = false;               // a file page whose slot holds its values
    std::unique_ptr<double[]> Columns;  // a memory page: ColumnCount x 4096 values, column after column
};

class DataPointStore {
public:
    // `dataFileName` names the temporary file ("graph8.tmp"); the file takes its
    // stem and extension with a unique part between them. Without a name no page
    // can go to a file.
    explicit DataPointStore(std::string dataFileName = {});
    ~DataPointStore();  // FreePages and DeleteDataFile
    DataPointStore(const DataPointStore&) = delete;
    DataPointStore& operator=(const DataPointStore&) = delete;

    // Before the runs: gives every curve its data columns, per-run arrays and an
    // empty point index, and sizes the run records; pages stored before are
    // dropped (a store used without Begin makes page 0 on the first point).
    // Returns the column count, or 0 after reporting out of memory (nothing
    // changed then).
    int Prepare(PlotCurveArray& curves, RunLog& runs, const StoreLayout& layout);
    // Starts an empty store (any earlier pages and file are dropped) and adds
    // page 0. 0, or 1 when the store cannot hold a page.
    int Begin();
    // At the start of each run: the curves' run bounds and the run's record.
    void StartRun(PlotCurveArray& curves, RunLog& runs, const RunRecord& record);
    // A curve stores a new point: advances its PointIndex and makes sure the
    // point's page exists. False (the index unchanged) when the store failed or
    // has no room. Either way the current run's RunLast is the PointIndex.
    bool NextPointIndex(PlotCurve& curve, const RunLog& runs);

    // The value of a column at a point; 0 when it is not stored.
    double GetValue(int column, int point);
    // Stores a value; nothing when the store has failed or has no room.
    void SetValue(int column, int point, double value);

    // Frees the pages, the buffer and the run records (RunLog::Count 0).
    void FreePages(RunLog& runs);
    // Closes the temporary file and removes it when it was made.
    void DeleteDataFile();

    // Pages at most kept in memory (-1: as many as the system has room for).
    // Later pages go to the file.
    void SetMemoryPageLimit(int pages) { memoryPageLimit_ = pages; }

    int ColumnCount() const { return columnCount_; }
    int PageCount() const { return static_cast<int>(pages_.size()); }
    const DataPage& Page(int index) const { return pages_[static_cast<size_t>(index)]; }
    int MemoryPageCount() const { return memoryPages_; }
    bool Failed() const { return failed_; }
    bool UsesFile() const { return nextFileSlot_ > 0; }
    int HighestSlotWritten() const { return highestSlotWritten_; }
    const std::string& DataFileName() const { return dataFileName_; }
    // The full path of the temporary file; "" until it is made.
    const std::string& DataFilePath() const { return dataFilePath_; }

private:
    void DropPages();
    double* ValueAddress(int column, int point, bool write);
    bool EnsurePage(int page);
    bool AddPage();
    bool LoadFilePage(int page);
    bool FlushFileBuffer();
    bool CreateDataFile();
    bool MemoryHasRoom(size_t pageBytes) const;

    std::string dataFileName_;
    std::string dataFilePath_;
    int fd_ = -1;
    int32_t columnCount_ = 1;
    std::vector<DataPage> pages_;
    std::unique_ptr<double[]> fileBuffer_;  // ColumnCount x 4096
    int32_t loadedFilePage_ = -1;
    bool fileBufferDirty_ = false;
    int32_t highestSlotWritten_ = -1;
    int32_t nextFileSlot_ = 0;
    int32_t memoryPages_ = 0;
    int memoryPageLimit_ = -1;
    bool failed_ = false;
    bool fileFailed_ = false;  // the file could not be made or written: it is not tried again
    bool reportedFailure_ = false;
    // The system's free memory as last asked, less the pages made since; asked
    // again every so many pages and whenever the estimate runs low.
    mutable uint64_t freeMemoryEstimate_ = 0;
    mutable int pagesSinceMemoryQuery_ = 0;
};

// Whether the curve's X takes the shared column 0 under this layout.
bool SharesTimeColumn(const PlotCurve& curve, const StoreLayout& layout);

// The offset of the curve's newest point in the current run: PointIndex -
// RunFirst[last run], so -1 while the run holds no point of the curve.
int PointsInRun(const PlotCurve& curve, const RunLog& runs);
// GetValue(column, RunFirst[run] + offset); 0 for a bad run.
double GetRunValue(DataPointStore& store, int column, const PlotCurve& curve, int offset, int run);
// The first run whose bounds hold the point, or -1.
int FindRunOfPoint(int point, const PlotCurve& curve, const RunLog& runs);
// First point index of the run holding the point; of the last run when none
// does; the first run's start (0 without runs) when there is no run.
int RunStartOfPoint(const PlotCurve& curve, const RunLog& runs, int point);

// Free memory the system can still give (available memory and free swap), in
// bytes; UINT64_MAX when it cannot be told.
uint64_t SystemFreeMemory();
