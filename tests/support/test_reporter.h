// A message reporter for tests: takes the place of the program's reporter for
// its lifetime, hands every request to the test and counts beeps.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "core/report_port.h"

class ScopedTestReporter : public MessageReporter {
public:
    using Answer = std::function<int(const MessageRequest&)>;

    explicit ScopedTestReporter(Answer answer = nullptr)
        : answer_(std::move(answer)), previous_(IsReporterInstalled() ? &Reporter() : nullptr) {
        InstallReporter(this);
    }
    ~ScopedTestReporter() override { InstallReporter(previous_); }
    ScopedTestReporter(const ScopedTestReporter&) = delete;
    ScopedTestReporter& operator=(const ScopedTestReporter&) = delete;

    int Report(const MessageRequest& request) override { return answer_ ? answer_(request) : 0; }
    void Beep() override { ++beeps; }

    // The request's first text argument, "" for none.
    static std::string TextArg(const MessageRequest& request) {
        for (const MessageArg& arg : request.args())
            if (arg.kind() == MessageArg::Kind::Text) return arg.AsText() ? arg.AsText() : "";
        return "";
    }

    int beeps = 0;

private:
    Answer answer_;
    MessageReporter* previous_;
};
