// The statically linked command never loads a shared object: the package
// host does that for it, linked against the shared C library. The linker
// sends every call of dlopen here (--wrap=dlopen), so the static C library's
// loader, which would need the very C library it was linked with at run
// time, is never reached (and the linker has no call of it to warn about).
// SQLite's extension loading and the package loader then fail cleanly.
extern "C" void* __wrap_dlopen(const char*, int)
{
    return nullptr;
}
