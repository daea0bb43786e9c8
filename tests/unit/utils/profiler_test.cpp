#include "utils/profiler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/log_capture.h"

namespace {
const std::string rule(28, '-');

void measure(const std::string& name, std::chrono::microseconds duration) {
    Profiler::instance().begin(name);
    std::this_thread::sleep_for(duration);
    Profiler::instance().end(name);
}

std::string formatted(const char* label, double value) {
    std::ostringstream text;
    text << label << value;
    return text.str();
}

// The profiler is process-wide; every test starts and ends with it empty.
class ProfilerTest : public ::testing::Test {
  protected:
    void SetUp() override { Profiler::instance().reset(); }
    void TearDown() override { Profiler::instance().reset(); }
};

TEST_F(ProfilerTest, SectionKeepsMinimumMaximumAndMeanInWholeMicroseconds) {
    measure("Section", std::chrono::microseconds(2000));
    const Profiler::Section* section = Profiler::instance().section("Section");
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->count, 1.0);
    EXPECT_GE(section->minimum, 0.002);
    EXPECT_EQ(section->minimum, section->maximum);
    EXPECT_EQ(section->mean, section->minimum);
    const double first = section->minimum;

    measure("Section", std::chrono::microseconds(8000));
    EXPECT_EQ(section->count, 2.0);
    EXPECT_EQ(section->minimum, first);
    EXPECT_GE(section->maximum, 0.008);
    EXPECT_DOUBLE_EQ(section->mean, (section->minimum + section->maximum) / 2.0);
    for (const double seconds : {section->minimum, section->maximum}) {
        const double microseconds = seconds * 1e6;
        EXPECT_NEAR(microseconds, std::round(microseconds), 1e-6);
    }

    // Another name keeps its own statistics.
    measure("Other", std::chrono::microseconds(0));
    EXPECT_EQ(section->count, 2.0);
    EXPECT_EQ(Profiler::instance().section("Other")->count, 1.0);
}

TEST_F(ProfilerTest, ReportListsSectionsInTheOrderOfTheirFirstUse) {
    const std::vector<std::vector<std::string>> orders = {
        {"InputProcessor", "AiProcessor", "MechanicsProcessor", "LogicProcessor", "RenderProcessor"},
        {"RenderProcessor", "LogicProcessor", "InputProcessor", "MechanicsProcessor", "AiProcessor"},
    };
    for (const std::vector<std::string>& order : orders) {
        SCOPED_TRACE(order.front());
        Profiler::instance().reset();
        for (int frame = 0; frame < 3; ++frame) {
            for (const std::string& name : order) {
                measure(name, std::chrono::microseconds(frame * 100));
            }
        }
        // Later frames in a different order do not move a section.
        for (auto name = order.rbegin(); name != order.rend(); ++name) {
            measure(*name, std::chrono::microseconds(0));
        }

        std::vector<std::string> expected = {rule, "Profiling results: "};
        for (const std::string& name : order) {
            const Profiler::Section* section = Profiler::instance().section(name);
            ASSERT_NE(section, nullptr);
            EXPECT_EQ(section->count, 4.0);
            expected.push_back("--" + name + "--");
            expected.push_back(formatted("Minimum frame duration: ", section->minimum));
            expected.push_back(formatted("Average frame duration: ", section->mean));
            expected.push_back(formatted("Maximum frame duration: ", section->maximum));
        }
        expected.push_back(rule);

        LogCapture capture;
        Profiler::instance().report();
        EXPECT_EQ(capture.messages(), expected);
        EXPECT_EQ(capture.messages(LogCapture::Severity::info).size(), expected.size());
    }
}

TEST_F(ProfilerTest, ResetRemovesEverySection) {
    measure("InputProcessor", std::chrono::microseconds(500));
    measure("RenderProcessor", std::chrono::microseconds(500));
    Profiler::instance().reset();
    EXPECT_EQ(Profiler::instance().section("InputProcessor"), nullptr);

    LogCapture capture;
    Profiler::instance().report();
    EXPECT_THAT(capture.messages(), ::testing::ElementsAre(rule, "Profiling results: ", rule));

    // A name used again starts a fresh section.
    measure("RenderProcessor", std::chrono::microseconds(0));
    const Profiler::Section* section = Profiler::instance().section("RenderProcessor");
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->count, 1.0);
    EXPECT_EQ(section->mean, section->minimum);
}
}  // namespace
