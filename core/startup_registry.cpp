// The start-up registry.
#include "core/startup_registry.h"

#include <algorithm>

bool StartupRegistry::Add(StartupPhase phase, const std::string& name, StartupStepFunction step,
                          StartupFailure failure) {
    if (!step || Has(name)) return false;
    steps_.push_back(Step{phase, name, std::move(step), failure});
    return true;
}

int StartupRegistry::Run(StartupPhase phase, const std::function<void(int code)>& report) const {
    for (const Step& step : steps_) {
        if (step.phase != phase) continue;
        const int code = step.run();
        if (code == 0) continue;
        if (step.failure == StartupFailure::kFatal) return code;
        if (step.failure == StartupFailure::kReport && report) report(code);
    }
    return 0;
}

std::vector<std::string> StartupRegistry::Names() const {
    std::vector<const Step*> order;
    for (const Step& step : steps_) order.push_back(&step);
    std::stable_sort(order.begin(), order.end(), [](const Step* a, const Step* b) { return a->phase < b->phase; });
    std::vector<std::string> names;
    for (const Step* step : order) names.push_back(step->name);
    return names;
}

std::vector<std::string> StartupRegistry::Names(StartupPhase phase) const {
    std::vector<std::string> names;
    for (const Step& step : steps_)
        if (step.phase == phase) names.push_back(step.name);
    return names;
}

bool StartupRegistry::Has(const std::string& name) const {
    return std::any_of(steps_.begin(), steps_.end(), [&](const Step& step) { return step.name == name; });
}

StartupRegistry& StartupSteps() {
    static StartupRegistry registry;
    return registry;
}
