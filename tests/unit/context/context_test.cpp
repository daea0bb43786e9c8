#include "context/context.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/log_capture.h"
#include "utils/profiler.h"

namespace {
using ::testing::ElementsAre;

const std::string heading = "Statistics for last 1000 frames: ";

// The value of the record that starts with label.
double valueOf(const std::vector<std::string>& messages, const std::string& label) {
    for (const std::string& message : messages) {
        if (message.rfind(label, 0) == 0) {
            return std::stod(message.substr(label.size()));
        }
    }
    ADD_FAILURE() << "no record starting with " << label;
    return 0.0;
}

// Frame statistics need no window: a context of its own is enough. Every
// report also reports and clears the process-wide profiler.
class FrameStatistics : public ::testing::Test {
  protected:
    void SetUp() override { Profiler::instance().reset(); }
    void TearDown() override { Profiler::instance().reset(); }
    Context context;
};

TEST_F(FrameStatistics, ReportFollowsEveryThousandthFrameWithMinimumMeanAndMaximum) {
    LogCapture capture;
    // Frame i lasts i * 10 microseconds: minimum 1e-05, mean 0.005005, maximum 0.01.
    for (int frame = 1; frame < 1000; ++frame) {
        context.recordFrame(frame * 1e-5);
    }
    EXPECT_TRUE(capture.empty());

    Profiler::instance().begin("RenderProcessor");
    Profiler::instance().end("RenderProcessor");
    context.recordFrame(1000 * 1e-5);
    std::vector<std::string> messages = capture.messages(LogCapture::Severity::info);
    ASSERT_GE(messages.size(), 4u);
    EXPECT_EQ(messages[0], heading);
    EXPECT_EQ(messages[1].rfind("Minimum frame duration: ", 0), 0u);
    EXPECT_EQ(messages[2].rfind("Average frame duration: ", 0), 0u);
    EXPECT_EQ(messages[3].rfind("Maximum frame duration: ", 0), 0u);
    EXPECT_DOUBLE_EQ(valueOf(messages, "Minimum frame duration: "), 1e-5);
    EXPECT_NEAR(valueOf(messages, "Average frame duration: "), 0.005005, 1e-9);
    EXPECT_DOUBLE_EQ(valueOf(messages, "Maximum frame duration: "), 0.01);
    // Then the profiler's report, after which its sections are gone.
    EXPECT_THAT(std::vector<std::string>(messages.begin() + 4, messages.begin() + 7),
                ElementsAre(std::string(28, '-'), "Profiling results: ", "--RenderProcessor--"));
    EXPECT_EQ(Profiler::instance().section("RenderProcessor"), nullptr);

    // The next window starts afresh: its extremes lie inside the first one's.
    capture.clear();
    for (int frame = 0; frame < 999; ++frame) {
        context.recordFrame(frame == 500 ? 0.004 : 0.003);
    }
    EXPECT_TRUE(capture.empty());
    context.recordFrame(0.003);
    messages = capture.messages(LogCapture::Severity::info);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), heading), 1);
    EXPECT_DOUBLE_EQ(valueOf(messages, "Minimum frame duration: "), 0.003);
    EXPECT_NEAR(valueOf(messages, "Average frame duration: "), 0.003001, 1e-9);
    EXPECT_DOUBLE_EQ(valueOf(messages, "Maximum frame duration: "), 0.004);
}

TEST_F(FrameStatistics, FramesPerSecondCountsTheFramesOfTheLastWholeSecond) {
    // 1/64 s is exact in binary, so 64 frames make exactly one second.
    for (int frame = 0; frame < 63; ++frame) {
        context.recordFrame(1.0 / 64.0);
        EXPECT_EQ(context.framesPerSecond, 0u) << frame;
    }
    context.recordFrame(1.0 / 64.0);
    EXPECT_EQ(context.framesPerSecond, 64u);

    // The value holds until the next second completes.
    for (int frame = 0; frame < 15; ++frame) {
        context.recordFrame(1.0 / 16.0);
        EXPECT_EQ(context.framesPerSecond, 64u);
    }
    context.recordFrame(1.0 / 16.0);
    EXPECT_EQ(context.framesPerSecond, 16u);

    // A long frame completes a second by itself, together with the frames
    // already counted in it, and the next second starts whole.
    context.recordFrame(0.25);
    context.recordFrame(1.5);
    EXPECT_EQ(context.framesPerSecond, 2u);
    for (int frame = 0; frame < 63; ++frame) {
        context.recordFrame(1.0 / 64.0);
    }
    EXPECT_EQ(context.framesPerSecond, 2u);
    context.recordFrame(1.0 / 64.0);
    EXPECT_EQ(context.framesPerSecond, 64u);
}

TEST_F(FrameStatistics, FirstFrameLongerThanASecondGivesOneFramePerSecond) {
    EXPECT_EQ(context.framesPerSecond, 0u);
    context.recordFrame(3.0);
    EXPECT_EQ(context.framesPerSecond, 1u);
}
}  // namespace
