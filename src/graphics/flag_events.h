#pragma once
// Flag events as the player reads them in the HUD's notifications. The logic
// announces takes and returns with its flag messages; a flag falls to the
// ground when its carrier dies, which the reader sees as a dropped flag that
// was not there the frame before. Captures already have their own "scored"
// notification from the logic.
#include <optional>
#include <string>
#include <vector>

#include "entities/entity.h"
#include "game/team.h"

class EntityManager;
class MessagePools;

enum class FlagEvent { Taken, Dropped, Returned };

// One short line for an event. team: for Taken the team that took the enemy
// flag, for Dropped and Returned the team whose flag it is. playerTeam: the
// team the player leads, addressed as "your", or none.
std::string flagEventText(FlagEvent event, Team team, std::optional<Team> playerTeam);

class FlagEventReader {
  public:
    // The lines for this frame's flag events, in order: takes and returns
    // from the pending flag messages, then flags newly lying dropped.
    std::vector<std::string> read(EntityManager& entities, MessagePools& messages);

  private:
    std::vector<Entity::Id> droppedFlags;  // as seen the frame before
};
