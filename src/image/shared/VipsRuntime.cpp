#include "VipsRuntime.h"

#include <vips/vips8>

#include <mutex>

namespace cropling {

void ensureVipsStarted() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (VIPS_INIT("cropling") != 0)
            vips_error_exit("cannot start libvips");
        // A damaged file is reported once, by the caller; the loaders' own warnings would only
        // clutter the terminal and break a scripted run's single line of reason.
        g_log_set_handler("VIPS", GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO),
                          [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
        vips_block_untrusted_set(TRUE);
        // Logos come as SVG and new cameras write JPEG XL: both are let through, inside the same
        // bounds as every picture (the memory budget, the deadline, a reduced render). An SVG's
        // references to other files are not followed: it is read from memory with no base.
        vips_operation_block_set("VipsForeignLoadSvg", FALSE);
        vips_operation_block_set("VipsForeignLoadJxl", FALSE);
        for (const char* loader : {"VipsForeignLoadPdf", "VipsForeignLoadOpenslide", "VipsForeignLoadVips",
                                   "VipsForeignLoadMat", "VipsForeignLoadFits", "VipsForeignLoadCsv",
                                   "VipsForeignLoadMatrix", "VipsForeignLoadAnalyze", "VipsForeignLoadRaw",
                                   "VipsForeignLoadMagick"})
            vips_operation_block_set(loader, TRUE);
        // Every picture is decoded once and kept; the operation cache would only hold on to
        // full-resolution copies of pictures the user has moved on from.
        vips_cache_set_max(0);
        vips_cache_set_max_mem(0);
    });
}

} // namespace cropling
