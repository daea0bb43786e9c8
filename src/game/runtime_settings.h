#pragma once
// The time scale and the display switches the player toggles at run time.
// Created with these values by whichever reader comes first.
#include "utils/singleton.h"

class RuntimeSettings : public Singleton<RuntimeSettings> {
  public:
    float timeScale = 1.0f;      // multiplies every system's frame time; nothing changes it
    bool wireframe = false;      // F3: polygons drawn as lines
    bool transparency = true;    // F9: materials blend per their blend mode when on
    bool frustumCulling = true;  // F8
    bool showHelp = false;       // F1: the help screen over the HUD
    bool showFps = false;        // F2: the frames-per-second line
};
