// Leak checking in every test binary: the system font library keeps a few
// blocks for the life of the process by design; they are not our leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
