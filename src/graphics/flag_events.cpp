#include "graphics/flag_events.h"

#include <algorithm>

#include "entities/entity_manager.h"
#include "entities/message_pools.h"
#include "entities/messages.h"
#include "game/components.h"

namespace {

const char* nameOf(Team team) {
    return team == Blue ? "Blue" : "Red";
}

Team other(Team team) {
    return team == Blue ? Red : Blue;
}

std::string theFlag(Team flag, std::optional<Team> playerTeam) {
    return playerTeam == flag ? std::string("Your flag") : std::string("The ") + nameOf(flag) + " flag";
}

std::optional<Team> playerTeamOf(EntityManager& entities) {
    ComponentHandle<ControlSchemeComponent> scheme;
    ComponentHandle<TeamComponent> team;
    for (const Entity entity : entities.query(scheme, team)) {
        (void)entity;
        return static_cast<Team>(team->team);
    }
    return std::nullopt;
}

}  // namespace

std::string flagEventText(FlagEvent event, Team team, std::optional<Team> playerTeam) {
    switch (event) {
        case FlagEvent::Taken:
            if (playerTeam == other(team)) {
                return "Your flag has been taken!";
            }
            return (playerTeam == team ? std::string("Your team") : std::string(nameOf(team)) + " team") +
                   " took the " + nameOf(other(team)) + " flag!";
        case FlagEvent::Dropped:
            return theFlag(team, playerTeam) + " has been dropped!";
        case FlagEvent::Returned:
            return theFlag(team, playerTeam) + " has been returned!";
    }
    return std::string();
}

std::vector<std::string> FlagEventReader::read(EntityManager& entities, MessagePools& messages) {
    std::vector<std::pair<FlagEvent, Team>> events;
    for (const FlagTakenMessage& message : messages.pool<FlagTakenMessage>()) {
        events.emplace_back(FlagEvent::Taken, static_cast<Team>(message.team));
    }
    for (const FlagReclaimedMessage& message : messages.pool<FlagReclaimedMessage>()) {
        events.emplace_back(FlagEvent::Returned, static_cast<Team>(message.team));
    }

    std::vector<Entity::Id> dropped;
    ComponentHandle<FlagComponent> flag;
    ComponentHandle<TeamComponent> team;
    ComponentHandle<BehaviourComponent> behaviour;
    for (const Entity entity : entities.query(flag, team, behaviour)) {
        if (flag->state != Dropped || behaviour->behaviour != FlagBehaviour) {
            continue;
        }
        dropped.push_back(entity.id());
        if (std::find(droppedFlags.begin(), droppedFlags.end(), entity.id()) == droppedFlags.end()) {
            events.emplace_back(FlagEvent::Dropped, static_cast<Team>(team->team));
        }
    }
    droppedFlags = std::move(dropped);

    std::vector<std::string> lines;
    if (events.empty()) {
        return lines;
    }
    const std::optional<Team> playerTeam = playerTeamOf(entities);
    for (const auto& [event, eventTeam] : events) {
        lines.push_back(flagEventText(event, eventTeam, playerTeam));
    }
    return lines;
}
