/* One source, four plug-ins: which exports exist and how they answer is chosen at build time. */
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

#if defined(PLUGIN_getidsfail)
enum { REPORTS = 3 };
#elif defined(PLUGIN_noreports)
enum { REPORTS = 0 };
#else
enum { REPORTS = 2 };
#endif

EXPORT int mainfunc(void)
{
    return 0;
}

EXPORT int getidsnumber(void)
{
    return REPORTS;
}

#if !defined(PLUGIN_nogetids)
EXPORT int getids(int index, void *descriptor)
{
    if (index < 0 || index >= REPORTS)
        return 0;
    /* A failing call may still have scribbled over the block. */
    memset(descriptor, 'a' + index, 164);
#if defined(PLUGIN_getidsfail)
    if (index == 1)
        return 0;
#endif
    return 1;
}
#endif

#if defined(PLUGIN_good)
EXPORT void shutdowndl(void) {}
#endif
