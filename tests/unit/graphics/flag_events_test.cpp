// The flag events the HUD shows: their texts for each kind and team, seen by
// a player of either team or by nobody, and the reader that turns the logic's
// flag messages and newly dropped flags into them.
#include "graphics/flag_events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entities/entity_manager.h"
#include "entities/message_pools.h"
#include "entities/messages.h"
#include "game/components.h"

namespace {

TEST(FlagEventText, NamesTheTeamsAndAddressesThePlayersOwnTeam) {
    const std::optional<Team> nobody;
    // Taken: the team that took it; the flag is the other team's.
    EXPECT_EQ(flagEventText(FlagEvent::Taken, Blue, nobody), "Blue team took the Red flag!");
    EXPECT_EQ(flagEventText(FlagEvent::Taken, Red, nobody), "Red team took the Blue flag!");
    EXPECT_EQ(flagEventText(FlagEvent::Taken, Blue, Blue), "Your team took the Red flag!");
    EXPECT_EQ(flagEventText(FlagEvent::Taken, Red, Blue), "Your flag has been taken!");
    EXPECT_EQ(flagEventText(FlagEvent::Taken, Red, Red), "Your team took the Blue flag!");
    EXPECT_EQ(flagEventText(FlagEvent::Taken, Blue, Red), "Your flag has been taken!");
    // Dropped and returned: the team whose flag it is.
    EXPECT_EQ(flagEventText(FlagEvent::Dropped, Red, nobody), "The Red flag has been dropped!");
    EXPECT_EQ(flagEventText(FlagEvent::Dropped, Red, Blue), "The Red flag has been dropped!");
    EXPECT_EQ(flagEventText(FlagEvent::Dropped, Blue, Blue), "Your flag has been dropped!");
    EXPECT_EQ(flagEventText(FlagEvent::Dropped, Blue, Red), "The Blue flag has been dropped!");
    EXPECT_EQ(flagEventText(FlagEvent::Returned, Red, nobody), "The Red flag has been returned!");
    EXPECT_EQ(flagEventText(FlagEvent::Returned, Red, Blue), "The Red flag has been returned!");
    EXPECT_EQ(flagEventText(FlagEvent::Returned, Blue, Blue), "Your flag has been returned!");
    EXPECT_EQ(flagEventText(FlagEvent::Returned, Red, Red), "Your flag has been returned!");
}

TEST(FlagEventText, EveryLineFitsTheNotificationArea) {
    // The notifications start 20 pixels in; at the HUD's 18 pixel font a
    // character is at most about 12 pixels wide, so 40 characters stay well
    // inside the left half of a 1280 pixel window.
    for (const FlagEvent event : {FlagEvent::Taken, FlagEvent::Dropped, FlagEvent::Returned}) {
        for (const Team team : {Blue, Red}) {
            for (const std::optional<Team> player :
                 {std::optional<Team>(), std::optional<Team>(Blue), std::optional<Team>(Red)}) {
                EXPECT_LE(flagEventText(event, team, player).size(), 40u);
            }
        }
    }
}

class FlagEventReading : public ::testing::Test {
  protected:
    Entity flag(Team team, FlagState state) {
        const Entity entity = entities.create();
        entities.assign<TeamComponent>(entity.id(), static_cast<uint8_t>(team));
        entities.assign<BehaviourComponent>(entity.id(), static_cast<int32_t>(FlagBehaviour));
        entities.assign<FlagComponent>(entity.id(), static_cast<uint8_t>(state));
        return entity;
    }

    EntityManager entities;
    MessagePools messages;
    FlagEventReader reader;
};

TEST_F(FlagEventReading, TakesAndReturnsComeFromTheMessagesAndDropsFromNewDroppedFlags) {
    const Entity player = entities.create();
    entities.assign<TeamComponent>(player.id(), static_cast<uint8_t>(Blue));
    entities.assign<ControlSchemeComponent>(player.id(), static_cast<uint8_t>(0));
    // The player carries the Red flag: a carrier's own flag mark is no flag
    // on the ground.
    entities.assign<FlagComponent>(player.id(), static_cast<uint8_t>(Carried));
    flag(Blue, AtBase);
    EXPECT_TRUE(reader.read(entities, messages).empty());

    messages.emit<FlagTakenMessage>(static_cast<std::uint8_t>(Blue));
    EXPECT_EQ(reader.read(entities, messages), std::vector<std::string>{"Your team took the Red flag!"});
    messages.clearAll();

    // The carrier dies: the Red flag lies dropped, reported once.
    const Entity dropped = flag(Red, Dropped);
    EXPECT_EQ(reader.read(entities, messages), std::vector<std::string>{"The Red flag has been dropped!"});
    EXPECT_TRUE(reader.read(entities, messages).empty());

    // Red returns it (the flag goes home) while Red takes the Blue flag.
    entities.component<FlagComponent>(dropped.id())->state = AtBase;
    messages.emit<FlagReclaimedMessage>(static_cast<std::uint8_t>(Red));
    messages.emit<FlagTakenMessage>(static_cast<std::uint8_t>(Red));
    EXPECT_EQ(reader.read(entities, messages),
              (std::vector<std::string>{"Your flag has been taken!", "The Red flag has been returned!"}));
    messages.clearAll();

    // A flag dropped again is a new entity: a new event.
    flag(Blue, Dropped);
    EXPECT_EQ(reader.read(entities, messages), std::vector<std::string>{"Your flag has been dropped!"});
}

TEST_F(FlagEventReading, WithoutAPlayerTheTeamsAreNamed) {
    messages.emit<FlagTakenMessage>(static_cast<std::uint8_t>(Red));
    EXPECT_EQ(reader.read(entities, messages), std::vector<std::string>{"Red team took the Blue flag!"});
}

}  // namespace
