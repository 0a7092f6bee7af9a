// Leak checking under the sanitizers: fontconfig keeps a small cache for the
// life of the process, which is not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
