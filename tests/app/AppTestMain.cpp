// The window tests' entry: one QApplication for all of them; listing the tests (as the build does) needs no display.

#include <QApplication>

#include <gtest/gtest.h>

#include <dlfcn.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    const int result = RUN_ALL_TESTS();
    // Kept loaded, the GL driver's and Qt's GL plugins' lasting allocations are named for the leak suppressions.
    for (const char* library : {"swrast_dri.so", "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", "libGLX_mesa.so.0",
                                "libEGL_mesa.so.0", "libgallium_dri.so",
                                "/usr/lib/x86_64-linux-gnu/qt6/plugins/xcbglintegrations/libqxcb-glx-integration.so",
                                "/usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqxcb.so"})
        ::dlopen(library, RTLD_NOLOAD | RTLD_NOW | RTLD_NODELETE);
    return result;
}
