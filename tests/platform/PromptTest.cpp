// The recording prompt the tests rely on, and the command line's console prompt.

#include "platform/ConsolePrompt.h"
#include "platform/RecordingPrompt.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace velmora;

TEST(RecordingPrompt, RecordsBoxesInOrderAndAnswersFromTheScript) {
    RecordingPrompt prompt("velmora");
    prompt.queueAnswer(PromptAnswer::Cancel);
    EXPECT_EQ(prompt.show("first", std::string("Error"), PromptIcon::Error, PromptButtons::RetryCancel),
              PromptAnswer::Cancel);
    // Script exhausted: the affirmative answer of the buttons.
    EXPECT_EQ(prompt.show("second", std::nullopt, PromptIcon::Question, PromptButtons::RetryCancel),
              PromptAnswer::Retry);
    EXPECT_EQ(prompt.show("third", std::nullopt, PromptIcon::None, PromptButtons::YesNo), PromptAnswer::Yes);

    ASSERT_EQ(prompt.messages().size(), 3u);
    EXPECT_EQ(prompt.messages()[0].caption, "Error");
    EXPECT_FALSE(prompt.messages()[0].frameworkBox);
    EXPECT_EQ(prompt.messages()[0].icon, PromptIcon::Error);
    EXPECT_EQ(prompt.messages()[1].caption, "velmora");  // the framework's box carries the title
    EXPECT_TRUE(prompt.messages()[1].frameworkBox);
    EXPECT_EQ(prompt.messageTexts(), (std::vector<std::string>{"first", "second", "third"}));
}

TEST(RecordingPrompt, FileDialogsAndFormsFollowTheScript) {
    RecordingPrompt prompt;
    prompt.queueFile(std::string("/tmp/out.CGH"));
    FileDialogRequest save;
    save.mode = FileDialogRequest::Mode::Save;
    save.title = "Export Object";
    save.filters = {{"CGH File", "*.CGH"}};
    EXPECT_EQ(prompt.chooseFile(save), std::optional<std::string>("/tmp/out.CGH"));
    EXPECT_EQ(prompt.chooseFile(save), std::nullopt);  // unscripted: cancelled

    FormRequest form;
    form.title = "ViewPointSet";
    form.fields = {{1001, "Postion_z:", "30"}, {1002, "Postion_x:", "0"}};
    prompt.queueForm([](FormRequest& f) {
        f.field(1001)->text = "50";
        return true;
    });
    prompt.queueForm([](FormRequest& f) {
        f.field(1002)->text = "9";
        return false;  // cancelled: nothing is taken over
    });
    ASSERT_TRUE(prompt.runForm(form));
    EXPECT_EQ(form.field(1001)->text, "50");
    EXPECT_FALSE(prompt.runForm(form));
    EXPECT_EQ(form.field(1002)->text, "0");
    EXPECT_EQ(prompt.forms().at(1).field(1001)->text, "50");  // recorded as shown

    EXPECT_EQ(prompt.transcript(), (std::vector<std::string>{"file Export Object", "file Export Object",
                                                             "form ViewPointSet", "form ViewPointSet"}));
}

TEST(ConsolePrompt, WritesCaptionAndTextAndNeverWaits) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ConsolePrompt prompt("velmora-export", out);
    EXPECT_EQ(prompt.show("Failed to open a.3ds\n", std::string("Error"), PromptIcon::Error), PromptAnswer::Ok);
    EXPECT_EQ(prompt.show("Failed to load the 3DS mesh into System memory!", std::nullopt, PromptIcon::Question,
                          PromptButtons::RetryCancel),
              PromptAnswer::Cancel);
    prompt.setAffirmative(true);
    EXPECT_EQ(prompt.show("again?", std::nullopt, PromptIcon::Question, PromptButtons::RetryCancel),
              PromptAnswer::Retry);
    EXPECT_EQ(prompt.chooseFile(FileDialogRequest{}), std::nullopt);

    std::rewind(out);
    char buffer[512] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
    std::fclose(out);
    EXPECT_EQ(std::string(buffer, n),
              "Error: Failed to open a.3ds\n"
              "velmora-export: Failed to load the 3DS mesh into System memory!\n"
              "velmora-export: again?\n");
}
