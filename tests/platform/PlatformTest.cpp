#include "platform/ConsolePrompt.h"
#include "platform/DecimalText.h"
#include "platform/Diagnostics.h"
#include "platform/FatalExit.h"
#include "platform/MemoryBudget.h"
#include "platform/RecordingPrompt.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <filesystem>

using namespace velmora;

// A German desktop sets the comma; typed numbers and shown texts still use the point.
TEST(DecimalText, NumbersAreReadAndShownWithAPointUnderADecimalCommaLocale) {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    for (const auto& [text, value] :
         {std::pair{"0.5", 0.5f}, {"  -2.5\t", -2.5f}, {"+1e2", 100.0f}, {".5", 0.5f}, {"3.4e38", 3.4e38f}})
        EXPECT_EQ(parseDecimal(text), value) << text;
    for (const char* bad : {"", "  ", "abc", "3x", "0,5", "--1", "+-1", "nan", "-inf", "infinity", "0x1p3",
                            "1e39", "-1e39", "1e999"})
        EXPECT_FALSE(parseDecimal(bad)) << '"' << bad << '"';
    const std::string shown = generalText(30.0f) + " " + generalText(0.5f) + " " + generalText(1.0f / 3.0f) + " " +
                              formatText("maxx:%f minx:%g", 4.0, 0.5);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(shown, "30 0.5 0.333333 maxx:4.000000 minx:0.5");  // six significant digits
}

static int statusOf(int status) {
    try {
        fatalExit(status);
    } catch (int thrown) {
        return thrown;
    }
    return -1;
}

TEST(FatalExit, HandlersInterceptNestAndRestore) {
    ScopedFatalExitHandler outer([](int status) { throw status + 100; });
    {
        ScopedFatalExitHandler inner([](int status) { throw status; });
        EXPECT_EQ(statusOf(7), 7);
    }
    EXPECT_EQ(statusOf(1), 101);
}

TEST(FatalExitDeathTest, WithoutAHandlerTheProcessEndsWithTheStatus) {
    EXPECT_EXIT((std::printf("pending output"), fatalExit(3)), ::testing::ExitedWithCode(3), "");
}

TEST(RecordingPrompt, RecordsInOrderAndAnswersFromTheScript) {
    RecordingPrompt prompt("velmora");
    prompt.queueAnswer(PromptAnswer::Cancel);
    EXPECT_EQ(prompt.show("first", std::string("Error"), PromptIcon::Error, PromptButtons::RetryCancel),
              PromptAnswer::Cancel);
    EXPECT_EQ(prompt.show("second", std::nullopt, PromptIcon::Question, PromptButtons::RetryCancel),
              PromptAnswer::Retry);
    EXPECT_EQ(prompt.show("third", std::nullopt, PromptIcon::None, PromptButtons::YesNo), PromptAnswer::Yes);
    EXPECT_FALSE(prompt.messages().at(0).frameworkBox);
    EXPECT_EQ(prompt.messages().at(0).icon, PromptIcon::Error);
    EXPECT_TRUE(prompt.messages().at(1).frameworkBox);  // the framework's box carries the title

    prompt.queueFile(std::string("/tmp/out.CGH"));
    FileDialogRequest save;
    save.title = "Export Object";
    EXPECT_EQ(prompt.chooseFile(save), std::optional<std::string>("/tmp/out.CGH"));
    EXPECT_EQ(prompt.chooseFile(save), std::nullopt);  // unscripted: cancelled
    FormRequest form{0, "ViewPointSet", {{1001, "Postion_z:", "30"}, {1002, "Postion_x:", "0"}}};
    prompt.queueForm([](FormRequest& f) { return f.field(1001)->text = "50", true; });
    prompt.queueForm([](FormRequest& f) { return f.field(1002)->text = "9", false; });
    ASSERT_TRUE(prompt.runForm(form));
    EXPECT_FALSE(prompt.runForm(form));  // cancelled: nothing is taken over
    EXPECT_EQ(form.field(1001)->text + form.field(1002)->text, "500");
    EXPECT_EQ(prompt.forms().at(1).field(1001)->text, "50");  // recorded as shown
    std::string transcript;
    for (const std::string& line : prompt.transcript()) transcript += line + "\n";
    EXPECT_EQ(transcript, velmora::testing::dataSections("platform.txt")["recording prompt transcript"]);
}

TEST(ConsolePrompt, WritesCaptionAndTextAndNeverWaits) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ConsolePrompt prompt("velmora-export", out);
    EXPECT_EQ(prompt.show("Failed to open a.3ds\n", std::string("Error"), PromptIcon::Error), PromptAnswer::Ok);
    EXPECT_EQ(prompt.show("Failed to load!", std::nullopt, PromptIcon::Question, PromptButtons::RetryCancel),
              PromptAnswer::Cancel);
    prompt.setAffirmative(true);
    EXPECT_EQ(prompt.show("again?", std::nullopt, PromptIcon::Question, PromptButtons::RetryCancel),
              PromptAnswer::Retry);
    EXPECT_EQ(prompt.chooseFile(FileDialogRequest{}), std::nullopt);
    std::rewind(out);
    char buffer[512] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
    std::fclose(out);
    EXPECT_EQ(std::string(buffer, n), velmora::testing::dataSections("platform.txt")["console prompt output"]);
}

// 2097152 kB is 2.0 GiB; the group's 1 GiB limit with 0.5 GiB in use leaves 0.5 GiB.
TEST(MemoryBudget, TheLeastOfMemAvailableAndTheControlGroupsHeadroom) {
    velmora::testing::TempDir root;
    std::filesystem::create_directories(root.path() / "proc");
    std::filesystem::create_directories(root.path() / "sys/fs/cgroup");
    velmora::testing::writeFile(root.file("proc/meminfo"), std::string("MemTotal: 8000000 kB\nMemAvailable: 2097152 kB\n"));
    const std::uint64_t gib = 1ull << 30;
    EXPECT_EQ(memoryShortfall(3 * gib, root.path().string()), "needs 3.0 GiB, 2.0 GiB available");
    EXPECT_EQ(memoryShortfall(2 * gib, root.path().string()), std::nullopt);
    velmora::testing::writeFile(root.file("sys/fs/cgroup/memory.max"), std::string("1073741824\n"));
    velmora::testing::writeFile(root.file("sys/fs/cgroup/memory.current"), std::string("536870912\n"));
    EXPECT_EQ(memoryShortfall(gib, root.path().string()), "needs 1.0 GiB, 0.5 GiB available");
    velmora::testing::writeFile(root.file("sys/fs/cgroup/memory.max"), std::string("max\n"));
    EXPECT_EQ(memoryShortfall(gib, root.path().string()), std::nullopt);
}
