// Batch files: the input is a batch file run through a batch whose jobs open
// nothing; GOTO loops end when the polled Esc key is finally "pressed".
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/cmdline.h"
#include "fuzz/fuzz_support.h"
#include "shell/batch.h"

namespace {

class fz_Jobs final : public BatchJobsPort {
public:
    CDoc* OpenJob(const char*, int) override { return nullptr; }
    void CloseJob(CDoc*) override {}
    int RunAnalysis(CDoc*, int, BatchRunFigures*) override { return 0; }
    void PrintCircuit(CDoc*) override {}
    void PrintAnalysis(CDoc*) override {}
    void CloseAnalysis(CDoc*) override {}
    int SaveDocument(CDoc*) override { return 0; }
    int TranslateIbis(const char*) override { return 0; }
    bool EscapePressed() override { return ++polls > 200; }
    int polls = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    const std::string text = fuzz::AsText(data, size);
    char path[] = "/tmp/tw_fuzz_batch_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return 0;
    FILE* file = fdopen(fd, "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    fz_Jobs jobs;
    BatchJobsPort* previous = InstallBatchJobs(&jobs);
    Startup().batchMode = 8;
    {
        BatchRun run;
        if (run.Start(path, nullptr) == 0) run.Run();
        run.End();
        std::remove(run.LogPath().c_str());
    }
    Startup().batchMode = 0;
    InstallBatchJobs(previous);
    std::remove(path);
    return 0;
}
