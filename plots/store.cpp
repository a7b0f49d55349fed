#include "plots/store.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/paths.h"
#include "core/report_port.h"
#include "core/result.h"

namespace {

constexpr size_t st_PageBytesPerColumn = kPagePoints * sizeof(double);

std::unique_ptr<double[]> st_AllocZeroed(size_t count) {
    return std::unique_ptr<double[]>(new (std::nothrow) double[count]());
}

// Writes or reads all of `bytes` at `offset`; false on any short transfer.
bool st_WriteAll(int fd, const void* data, size_t bytes, off_t offset) {
    const char* p = static_cast<const char*>(data);
    while (bytes > 0) {
        ssize_t n = pwrite(fd, p, bytes, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        p += n;
        bytes -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

bool st_ReadAll(int fd, void* data, size_t bytes, off_t offset) {
    char* p = static_cast<char*>(data);
    while (bytes > 0) {
        ssize_t n = pread(fd, p, bytes, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        bytes -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

}  // namespace

uint64_t SystemFreeMemory() {
    FILE* file = fopen("/proc/meminfo", "r");
    if (file == nullptr) return UINT64_MAX;
    char line[256];
    uint64_t available = 0, swapFree = 0;
    bool found = false;
    while (fgets(line, sizeof line, file) != nullptr) {
        unsigned long long kb = 0;
        if (sscanf(line, "MemAvailable: %llu kB", &kb) == 1) {
            available = kb * 1024;
            found = true;
        } else if (sscanf(line, "SwapFree: %llu kB", &kb) == 1) {
            swapFree = kb * 1024;
        }
    }
    fclose(file);
    return found ? available + swapFree : UINT64_MAX;
}

DataPointStore::DataPointStore(std::string dataFileName) : dataFileName_(std::move(dataFileName)) {}

DataPointStore::~DataPointStore() {
    RunLog none;
    FreePages(none);
    DeleteDataFile();
}

int DataPointStore::Prepare(PlotCurveArray& curves, RunLog& runs, const StoreLayout& layout) {
    const int32_t runsExpected = layout.RunsExpected > 0 ? layout.RunsExpected : 1;
    const int slots = layout.AcColumns ? kCurveColumnSlots : 2;
    try {
        // Everything is built aside first, so that running out of memory leaves
        // the curves and the store as they were.
        std::vector<RunRecord> records(static_cast<size_t>(runsExpected));
        std::vector<std::vector<RunCacheEntry>> tables(curves.size());
        std::vector<std::vector<int32_t>> firsts(curves.size()), lasts(curves.size());
        for (size_t i = 0; i < curves.size(); ++i) {
            tables[i].resize(static_cast<size_t>(runsExpected));
            firsts[i].assign(static_cast<size_t>(runsExpected), 0);
            lasts[i].assign(static_cast<size_t>(runsExpected), 0);
        }
        int64_t columns = 1;
        for (const PlotCurve& curve : curves) {
            for (int slot = 0; slot < slots; ++slot) {
                if (!(slot == kSlotX && SharesTimeColumn(curve, layout))) ++columns;
            }
        }
        if (columns > INT32_MAX / kPagePoints) throw std::bad_alloc();
        std::unique_ptr<double[]> buffer = st_AllocZeroed(static_cast<size_t>(columns) * kPagePoints);
        if (!buffer) throw std::bad_alloc();

        // Pages laid out for the old columns cannot hold the new ones.
        DropPages();
        columnCount_ = 1;
        for (size_t i = 0; i < curves.size(); ++i) {
            PlotCurve& curve = curves[i];
            curve.PointIndex = -1;
            for (int slot = 0; slot < kCurveColumnSlots; ++slot) curve.DataColumn[slot] = 0;
            for (int slot = 0; slot < slots; ++slot) {
                if (slot == kSlotX && SharesTimeColumn(curve, layout))
                    curve.DataColumn[slot] = kSharedColumn;
                else
                    curve.DataColumn[slot] = columnCount_++;
            }
            curve.RunTables = std::move(tables[i]);
            curve.RunFirst = std::move(firsts[i]);
            curve.RunLast = std::move(lasts[i]);
        }
        runs.Records = std::move(records);
        runs.Count = 0;
        fileBuffer_ = std::move(buffer);
        loadedFilePage_ = -1;
        fileBufferDirty_ = false;
        return columnCount_;
    } catch (const std::bad_alloc&) {
        Reporter().Report(Message(kResultNoMemory));
        return 0;
    }
}

bool SharesTimeColumn(const PlotCurve& curve, const StoreLayout& layout) {
    return layout.ShareTimeColumn && curve.SingleVar[kAxisX] == 'T' && curve.AxisLinear[kAxisX] != 0 &&
           curve.IsDigital == 0 && curve.PlotType == kPlotRectangular && !curve.IsFftCurve();
}

void DataPointStore::DropPages() {
    pagesSinceMemoryQuery_ = 0;
    std::vector<DataPage>().swap(pages_);
    memoryPages_ = 0;
    DeleteDataFile();
    nextFileSlot_ = 0;
    highestSlotWritten_ = -1;
    loadedFilePage_ = -1;
    fileBufferDirty_ = false;
    failed_ = false;
    fileFailed_ = false;
    reportedFailure_ = false;
}

int DataPointStore::Begin() {
    DropPages();
    if (!fileBuffer_) fileBuffer_ = st_AllocZeroed(static_cast<size_t>(columnCount_) * kPagePoints);
    if (!fileBuffer_) {
        failed_ = true;
        return 1;
    }
    return EnsurePage(0) ? 0 : 1;
}

void DataPointStore::StartRun(PlotCurveArray& curves, RunLog& runs, const RunRecord& record) {
    const size_t r = static_cast<size_t>(runs.Count);
    try {
        // More runs than expected grow the arrays rather than overrun them.
        if (runs.Records.size() <= r) runs.Records.resize(r + 1);
        for (PlotCurve& curve : curves) {
            if (curve.RunFirst.size() <= r) curve.RunFirst.resize(r + 1, 0);
            if (curve.RunLast.size() <= r) curve.RunLast.resize(r + 1, 0);
            if (curve.RunTables.size() <= r) curve.RunTables.resize(r + 1);
        }
    } catch (const std::bad_alloc&) {
        failed_ = true;
        return;
    }
    for (PlotCurve& curve : curves) {
        curve.RunFirst[r] = r == 0 ? 0 : curve.RunLast[r - 1] + 1;
        curve.RunLast[r] = curve.PointIndex;
        curve.StartOfRun = 1;
    }
    runs.Records[r] = record;
    ++runs.Count;
}

bool DataPointStore::NextPointIndex(PlotCurve& curve, const RunLog& runs) {
    bool advanced = false;
    if (!failed_ && curve.PointIndex < INT32_MAX - 1) {
        int32_t next = curve.PointIndex + 1;
        if (EnsurePage(next / kPagePoints)) {
            curve.PointIndex = next;
            advanced = true;
        }
    }
    if (runs.Count > 0 && static_cast<size_t>(runs.Count) <= curve.RunLast.size())
        curve.RunLast[static_cast<size_t>(runs.Count - 1)] = curve.PointIndex;
    return advanced;
}

bool DataPointStore::MemoryHasRoom(size_t pageBytes) const {
    if (nextFileSlot_ > 0) return false;  // pages never return to memory once one went to the file
    if (memoryPageLimit_ >= 0 && memoryPages_ >= memoryPageLimit_) return false;
    // Asking the system costs far more than a page: ask every 64 pages, and
    // whenever the estimate comes near the limit.
    constexpr uint64_t kAskAgainBelow = 16 * kMinFreeMemoryForPage;
    if (pagesSinceMemoryQuery_ == 0 || pagesSinceMemoryQuery_ >= 64 || freeMemoryEstimate_ < kAskAgainBelow) {
        freeMemoryEstimate_ = SystemFreeMemory();
        pagesSinceMemoryQuery_ = 0;
    }
    ++pagesSinceMemoryQuery_;
    if (freeMemoryEstimate_ < kMinFreeMemoryForPage) return false;
    freeMemoryEstimate_ = freeMemoryEstimate_ > pageBytes ? freeMemoryEstimate_ - pageBytes : 0;
    return true;
}

bool DataPointStore::AddPage() {
    if (failed_) return false;
    try {
        if (pages_.size() == pages_.capacity()) pages_.reserve(pages_.size() + 100);
        pages_.emplace_back();
    } catch (const std::bad_alloc&) {
        failed_ = true;
        return false;
    }
    DataPage& page = pages_.back();
    const size_t values = static_cast<size_t>(columnCount_) * kPagePoints;
    if (MemoryHasRoom(values * sizeof(double))) {
        page.Columns = st_AllocZeroed(values);
        if (page.Columns) {
            page.Where = kPageInMemory;
            ++memoryPages_;
            return true;
        }
    }
    if (dataFileName_.empty()) {
        // Nowhere to put it: the page stays unplaced and nothing more is stored.
        pages_.pop_back();
        if (!reportedFailure_) {
            reportedFailure_ = true;
            Reporter().Report(Message(kResultNoMemory));
        }
        failed_ = true;
        return false;
    }
    page.Where = kPageInFile;
    page.Slot = nextFileSlot_++;
    return true;
}

bool DataPointStore::EnsurePage(int page) {
    if (page < 0) return false;
    while (static_cast<int>(pages_.size()) <= page) {
        if (!AddPage()) return false;
    }
    return pages_[static_cast<size_t>(page)].Where != kPageUnplaced;
}

bool DataPointStore::CreateDataFile() {
    // The stem and extension of the name with a unique part between them, so
    // that two documents never share (nor remove) one file.
    std::string stem = dataFileName_, extension;
    size_t dot = stem.rfind('.');
    if (dot != std::string::npos) {
        extension = stem.substr(dot);
        stem.resize(dot);
    }
    std::string name = stem + "-XXXXXX" + extension;
    char path[kPathSize];
    MakeTempPath(path, name.c_str());
    std::string full = path;
    if (full.size() + 1 >= kPathSize ||
        full.compare(full.size() - extension.size(), extension.size(), extension) != 0) {
        errno = ENAMETOOLONG;
        fd_ = -1;
    } else {
        fd_ = mkostemps(path, static_cast<int>(extension.size()), O_CLOEXEC);
    }
    if (fd_ < 0) {
        int code = ErrnoToResult();
        failed_ = fileFailed_ = true;
        if (!reportedFailure_) {
            reportedFailure_ = true;
            Reporter().Report(Message(code).Args(path));
        }
        return false;
    }
    dataFilePath_ = path;
    return true;
}

bool DataPointStore::FlushFileBuffer() {
    if (loadedFilePage_ < 0 || !fileBufferDirty_) return true;
    if (fileFailed_) {
        // Its values cannot be kept; the pages written before stay readable.
        fileBufferDirty_ = false;
        return true;
    }
    DataPage& page = pages_[static_cast<size_t>(loadedFilePage_)];
    if (fd_ < 0 && !CreateDataFile()) return false;
    const size_t bytes = static_cast<size_t>(columnCount_) * st_PageBytesPerColumn;
    const off_t offset = static_cast<off_t>(page.Slot) * static_cast<off_t>(bytes);
    if (!st_WriteAll(fd_, fileBuffer_.get(), bytes, offset)) {
        int code = ErrnoToResult();
        failed_ = fileFailed_ = true;
        if (!reportedFailure_) {
            reportedFailure_ = true;
            Reporter().Report(Message(code ? code : kResultNoSpace).Args(dataFilePath_));
        }
        return false;
    }
    page.Written = true;
    if (page.Slot > highestSlotWritten_) highestSlotWritten_ = page.Slot;
    fileBufferDirty_ = false;
    return true;
}

bool DataPointStore::LoadFilePage(int index) {
    if (loadedFilePage_ == index) return true;
    if (!FlushFileBuffer()) return false;
    DataPage& page = pages_[static_cast<size_t>(index)];
    const size_t bytes = static_cast<size_t>(columnCount_) * st_PageBytesPerColumn;
    if (page.Written) {
        const off_t offset = static_cast<off_t>(page.Slot) * static_cast<off_t>(bytes);
        if (fd_ < 0 || !st_ReadAll(fd_, fileBuffer_.get(), bytes, offset)) {
            loadedFilePage_ = -1;
            return false;
        }
    } else {
        // A page never written holds zeros, not what the buffer held before.
        std::memset(fileBuffer_.get(), 0, bytes);
    }
    loadedFilePage_ = index;
    return true;
}

double* DataPointStore::ValueAddress(int column, int point, bool write) {
    if (column < 0 || column >= columnCount_ || point < 0) return nullptr;
    const int index = point / kPagePoints;
    if (write) {
        if (failed_ || !EnsurePage(index)) return nullptr;
    } else if (index >= static_cast<int>(pages_.size())) {
        return nullptr;
    }
    DataPage& page = pages_[static_cast<size_t>(index)];
    const size_t at = static_cast<size_t>(column) * kPagePoints + static_cast<size_t>(point % kPagePoints);
    if (page.Where == kPageInMemory) return page.Columns.get() + at;
    if (page.Where != kPageInFile || !fileBuffer_) return nullptr;
    if (!LoadFilePage(index)) return nullptr;
    if (write) fileBufferDirty_ = true;
    return fileBuffer_.get() + at;
}

double DataPointStore::GetValue(int column, int point) {
    const double* address = ValueAddress(column, point, false);
    return address ? *address : 0.0;
}

void DataPointStore::SetValue(int column, int point, double value) {
    if (double* address = ValueAddress(column, point, true)) *address = value;
}

void DataPointStore::FreePages(RunLog& runs) {
    std::vector<RunRecord>().swap(runs.Records);
    runs.Count = 0;
    std::vector<DataPage>().swap(pages_);
    memoryPages_ = 0;
    fileBuffer_.reset();
    loadedFilePage_ = -1;
    fileBufferDirty_ = false;
}

void DataPointStore::DeleteDataFile() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (!dataFilePath_.empty()) {
        unlink(dataFilePath_.c_str());
        dataFilePath_.clear();
    }
    // The file's pages are gone with it.
    for (DataPage& page : pages_) {
        if (page.Where == kPageInFile) page.Written = false;
    }
    highestSlotWritten_ = -1;
    loadedFilePage_ = -1;
    fileBufferDirty_ = false;
}

int PointsInRun(const PlotCurve& curve, const RunLog& runs) {
    if (runs.Count <= 0 || curve.RunFirst.size() < static_cast<size_t>(runs.Count)) return curve.PointIndex;
    return curve.PointIndex - curve.RunFirst[static_cast<size_t>(runs.Count - 1)];
}

double GetRunValue(DataPointStore& store, int column, const PlotCurve& curve, int offset, int run) {
    if (run < 0 || static_cast<size_t>(run) >= curve.RunFirst.size()) return 0.0;
    return store.GetValue(column, curve.RunFirst[static_cast<size_t>(run)] + offset);
}

int FindRunOfPoint(int point, const PlotCurve& curve, const RunLog& runs) {
    const size_t count =
        std::min({static_cast<size_t>(runs.Count > 0 ? runs.Count : 0), curve.RunFirst.size(), curve.RunLast.size()});
    for (size_t i = 0; i < count; ++i) {
        if (curve.RunFirst[i] <= point && point <= curve.RunLast[i]) return static_cast<int>(i);
    }
    return -1;
}

int RunStartOfPoint(const PlotCurve& curve, const RunLog& runs, int point) {
    const size_t count =
        std::min({static_cast<size_t>(runs.Count > 0 ? runs.Count : 0), curve.RunFirst.size(), curve.RunLast.size()});
    if (count == 0) return curve.RunFirst.empty() ? 0 : curve.RunFirst[0];
    int run = FindRunOfPoint(point, curve, runs);
    return curve.RunFirst[run >= 0 ? static_cast<size_t>(run) : count - 1];
}
