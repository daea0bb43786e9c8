#pragma once
// The heads-up display's pictures, written into directory (with a trailing
// separator): scoreBar.png and scorePointsBlue.png (582 x 38), skillBar.png
// (512 x 512: the slot frame in the top 64 rows of the right half, the four
// skill icons for Q, W, E, R in the top 64 rows of the left half),
// cooldown.png and help.png (512 x 512, every control of the game).
#include <string>

bool bakeHudTextures(const std::string& directory);
