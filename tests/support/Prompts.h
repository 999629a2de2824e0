#pragma once
// The one check of a box the program showed through a recording prompt.

#include "platform/RecordingPrompt.h"

#include <gtest/gtest.h>

namespace velmora::testing {

// The prompt showed exactly one box, with this caption and text.
inline void expectBox(const RecordingPrompt& prompt, const std::string& caption, const std::string& text) {
    ASSERT_EQ(prompt.messages().size(), 1u) << ::testing::PrintToString(prompt.transcript());
    EXPECT_EQ(prompt.messages()[0].caption, caption);
    EXPECT_EQ(prompt.messages()[0].text, text);
}

}  // namespace velmora::testing
