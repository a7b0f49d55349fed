#include "library/startup_stubs.h"

#include "core/recentlist.h"

// Not yet built: shape libraries; no shape library exists yet.
int LoadShapeLibraries() { return 0; }

// Not yet built: component libraries; no component library exists yet.
int LoadComponentLibraries() { return 0; }

// Not yet built: package files; none exists yet.
int LoadPackageFile() { return 0; }

// Not yet built: component libraries; with none there is no component to choose.
ComponentDef* SelectStartComponent() { return nullptr; }

void ClearRecentComponents() {
    RecentList& list = RecentComponents();
    int count = list.Count();
    list.Clear();
    list.Resize(count);
}
