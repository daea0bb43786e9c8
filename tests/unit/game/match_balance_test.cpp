// The shipped tuning against the computer defender of the Red flag: scripted
// players on the real headless match (computer players, mechanics, rules and
// the input processor fed by a scripted mouse through the follow camera's
// view). A raider who only walks in and out is shot down; one who strikes
// the guard from outside its watch and dodges captures the flag.
#include <gtest/gtest.h>

#include <cstdint>

#include "balance/match_harness.h"
#include "game_fixture.h"

namespace match_balance_test {

class MatchBalance : public game_test::ShippedGameData {};

TEST_F(MatchBalance, TheGuardStopsTheNaiveRaidAndTheSkilledPlayerCaptures) {
    balance::MatchSettings settings;
    settings.seconds = 180.0;
    settings.stopAtFirstCapture = true;
    for (const std::uint32_t seed : {1u, 2u, 3u}) {
        balance::MatchSettings raid = settings;
        // Enough time for three walks into the Red base.
        raid.seconds = 45.0;
        const balance::MatchResult naive = balance::playMatch(balance::Strategy::NaiveRaid, seed, raid);
        EXPECT_EQ(naive.captures, 0) << "seed " << seed;
        EXPECT_GE(naive.playerDeaths, 1) << "seed " << seed;
        EXPECT_EQ(naive.guardDeaths, 0) << "seed " << seed;

        const balance::MatchResult skilled = balance::playMatch(balance::Strategy::Skilled, seed, settings);
        EXPECT_EQ(skilled.captures, 1) << "seed " << seed;
        EXPECT_GT(skilled.firstCapture, 0.0) << "seed " << seed;
        EXPECT_LE(skilled.firstCapture, 180.0) << "seed " << seed;
        EXPECT_GE(skilled.guardDeaths, 1) << "seed " << seed;

        // The end-to-end match test plays this script through the real window.
        const balance::MatchResult scripted =
            balance::playMatch(balance::Strategy::ScriptedRaid, seed, settings);
        EXPECT_EQ(scripted.captures, 1) << "seed " << seed;
        EXPECT_EQ(scripted.playerDeaths, 0) << "seed " << seed;
    }
    // A slow hand on a busy machine: the run home with the button held keeps
    // the carrier out of the respawned guard's reach all the same.
    balance::MatchSettings slow = settings;
    slow.latency = 0.5;
    const balance::MatchResult late = balance::playMatch(balance::Strategy::ScriptedRaid, 1u, slow);
    EXPECT_EQ(late.captures, 1);
    EXPECT_EQ(late.playerDeaths, 0);
    // The table's sums and median.
    std::vector<balance::MatchResult> results(3);
    results[0].captures = 1;
    results[0].firstCapture = 40.0;
    results[0].playerDeaths = 1;
    results[1].captures = 2;
    results[1].firstCapture = 20.0;
    results[1].guardDeaths = 3;
    results[2].playerDeaths = 2;
    const balance::StrategySummary summary = balance::summarize(balance::Strategy::Skilled, results);
    EXPECT_EQ(summary.capturing, 2);
    EXPECT_DOUBLE_EQ(summary.medianFirstCapture, 30.0);
    EXPECT_DOUBLE_EQ(summary.playerDeaths, 1.0);
    EXPECT_DOUBLE_EQ(summary.guardDeaths, 1.0);
    EXPECT_NEAR(summary.captureRate(), 2.0 / 3.0, 1e-12);
}

}  // namespace match_balance_test
