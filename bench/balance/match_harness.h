#pragma once
// Scripted matches on the shipped arena, for judging the tuning in data/.
//
// Each match is the real Game, headless: its computer players, mechanics and
// rules, with fixed time steps, the shipped level, navigation mesh and data.
// The player's actor is driven through the real input processor by a scripted
// mouse and keyboard: a strategy looks at the world as a player looks at the
// screen, points the cursor at window pixels of the follow camera's view
// (the view the render processor builds, unprojected by the same code) and
// holds the left button or presses Q and W. The orders that reach the rules
// are exactly the ones a player's hand sends.
//
// The data store and the collision volumes must be loaded before a match
// (data/*.dat, data/collision/*.volumes with the floor volumes), and the
// working directory must hold data/level/.
#include <cstdint>
#include <string>
#include <vector>

namespace balance {

enum class Strategy {
    // Walks straight to the Red flag, takes it and walks straight home.
    NaiveRaid,
    // Stops inside the guard's watch radius and trades skills with it, takes
    // the flag once the guard is down and walks home.
    Brawler,
    // Strikes the guard from just outside its watch radius, sidesteps the
    // guard's fireballs, takes the flag while the guard is down, runs home on
    // the shortest path and fights the chaser when it comes near.
    Skilled,
    // The skilled raid played blind, by the clock, as the end-to-end test
    // plays it through the real window: a fixed walk to a post south of the
    // Red base, a fixed volley at the guard's starting spot, then the flag and
    // a fixed way home, each step timed from the distances alone.
    ScriptedRaid,
};

const char* strategyName(Strategy strategy);
const std::vector<Strategy>& allStrategies();

struct MatchSettings {
    double seconds = 180.0;     // match time
    double frame = 1.0 / 60.0;  // fixed step
    bool stopAtFirstCapture = false;
    // What each step of the scripted raid loses to the hand and the input
    // tools, in seconds.
    double latency = 0.1;
    // Prints each death, flag event and capture with the match time and
    // where the player and the Red guard stand.
    bool trace = false;
};

struct MatchResult {
    std::uint32_t seed = 0;
    int captures = 0;
    double firstCapture = -1.0;  // match seconds; negative without a capture
    int playerDeaths = 0;
    int guardDeaths = 0;  // deaths of the Red flag's computer defender
};

// One match of the strategy, with the game's random generator seeded by seed.
// Throws std::runtime_error when the game cannot start.
MatchResult playMatch(Strategy strategy, std::uint32_t seed, const MatchSettings& settings = MatchSettings());

struct StrategySummary {
    Strategy strategy = Strategy::NaiveRaid;
    int matches = 0;
    int capturing = 0;                 // matches with a capture
    double medianFirstCapture = -1.0;  // over the capturing matches; negative with none
    double playerDeaths = 0.0;         // per match
    double guardDeaths = 0.0;          // per match
    double captureRate() const { return matches > 0 ? static_cast<double>(capturing) / matches : 0.0; }
};

StrategySummary summarize(Strategy strategy, const std::vector<MatchResult>& results);

// A Markdown table, one row per summary.
std::string formatTable(const std::vector<StrategySummary>& summaries, double seconds);

}  // namespace balance
