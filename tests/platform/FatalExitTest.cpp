#include "platform/FatalExit.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {
struct Exited {
    int status;
};
}  // namespace

TEST(FatalExit, TestsCanInterceptTheExit) {
    ScopedFatalExitHandler handler([](int status) { throw Exited{status}; });
    try {
        fatalExit(7);
        FAIL() << "fatalExit returned";
    } catch (const Exited& e) {
        EXPECT_EQ(e.status, 7);
    }
}

TEST(FatalExit, HandlersNestAndRestore) {
    ScopedFatalExitHandler outer([](int status) { throw Exited{status + 100}; });
    {
        ScopedFatalExitHandler inner([](int status) { throw Exited{status}; });
        EXPECT_THROW(fatalExit(1), Exited);
    }
    try {
        fatalExit(1);
    } catch (const Exited& e) {
        EXPECT_EQ(e.status, 101);
    }
}

TEST(FatalExitDeathTest, WithoutAHandlerTheProcessEndsWithTheStatus) {
    EXPECT_EXIT(
        {
            std::printf("pending output");
            fatalExit(3);
        },
        ::testing::ExitedWithCode(3), "");
}
