#include "platform/FatalExit.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {
struct Exited {
    int status;
};
int statusOf(int status) {
    try {
        fatalExit(status);
    } catch (const Exited& e) {
        return e.status;
    }
    return -1;
}
}  // namespace

TEST(FatalExit, HandlersInterceptNestAndRestore) {
    ScopedFatalExitHandler outer([](int status) { throw Exited{status + 100}; });
    {
        ScopedFatalExitHandler inner([](int status) { throw Exited{status}; });
        EXPECT_EQ(statusOf(7), 7);
    }
    EXPECT_EQ(statusOf(1), 101);
}

TEST(FatalExitDeathTest, WithoutAHandlerTheProcessEndsWithTheStatus) {
    EXPECT_EXIT(
        {
            std::printf("pending output");
            fatalExit(3);
        },
        ::testing::ExitedWithCode(3), "");
}
