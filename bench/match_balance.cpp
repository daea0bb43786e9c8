// Plays scripted matches of every player strategy on the shipped data and
// prints how each fares against the computer defender of the Red flag.
//
//   match_balance [--seeds N] [--seconds S] [--frame SECONDS] [--latency SECONDS] [--first-seed K]
//   [--strategy NAME] [--verbose] [--trace]
//
// NAME is one of "naive raid", "brawler", "skilled", "scripted raid"; --verbose prints every
// match; --frame sets the fixed step (1/60 s by default); --latency what each step of the
// scripted raid loses to the hand (0.1 s by default); --trace prints every death, flag event and
// capture of every match.
// Run from the repository root (or any directory holding data/).
#include <boost/log/core.hpp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "balance/match_harness.h"
#include "io/data_manager.h"
#include "mechanics/volume_manager.h"

int main(int argc, char** argv) {
    int seeds = 40;
    std::uint32_t firstSeed = 1;
    balance::MatchSettings settings;
    bool verbose = false;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--seeds" && hasValue) {
            seeds = std::atoi(argv[++i]);
        } else if (option == "--seconds" && hasValue) {
            settings.seconds = std::atof(argv[++i]);
        } else if (option == "--frame" && hasValue) {
            settings.frame = std::atof(argv[++i]);
        } else if (option == "--latency" && hasValue) {
            settings.latency = std::atof(argv[++i]);
        } else if (option == "--first-seed" && hasValue) {
            firstSeed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (option == "--strategy" && hasValue) {
            only = argv[++i];
        } else if (option == "--trace") {
            settings.trace = true;
            verbose = true;
        } else if (option == "--verbose") {
            verbose = true;
        } else {
            std::fprintf(stderr,
                         "usage: %s [--seeds N] [--seconds S] [--frame SECONDS] [--latency SECONDS] "
                         "[--first-seed K] [--strategy NAME] [--verbose] [--trace]\n",
                         argv[0]);
            return 2;
        }
    }
    // Headless games report every mesh and material they cannot draw.
    boost::log::core::get()->set_logging_enabled(false);
    try {
        DataManager::instance().loadDirectory("data/", ".dat", true);
        CollisionVolumeManager::instance().loadDirectory("data/collision/", ".volumes", true);
        CollisionVolumeManager::instance().addFloorVolumes();
        std::vector<balance::StrategySummary> summaries;
        for (const balance::Strategy strategy : balance::allStrategies()) {
            if (!only.empty() && only != balance::strategyName(strategy)) {
                continue;
            }
            std::vector<balance::MatchResult> results;
            for (int k = 0; k < seeds; ++k) {
                results.push_back(
                    balance::playMatch(strategy, firstSeed + static_cast<std::uint32_t>(k), settings));
                if (verbose) {
                    const balance::MatchResult& r = results.back();
                    std::printf("%s seed %u: captures %d, first %.1f s, player deaths %d, guard deaths %d\n",
                                balance::strategyName(strategy), r.seed, r.captures, r.firstCapture,
                                r.playerDeaths, r.guardDeaths);
                }
            }
            summaries.push_back(balance::summarize(strategy, results));
        }
        std::fputs(balance::formatTable(summaries, settings.seconds).c_str(), stdout);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "match_balance: %s\n", failure.what());
        return 1;
    }
    return 0;
}
