// A loadable module that exports no registration entry.
#if defined(_WIN32)
#define MODULE_ENTRY __declspec(dllexport)
#else
#define MODULE_ENTRY __attribute__((visibility("default")))
#endif
extern "C" MODULE_ENTRY int hostframeworkUnrelatedSymbol()
{
    return 1;
}
