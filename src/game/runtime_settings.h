#pragma once
// The time scale and the display switches, shared by the input processor
// (which toggles them) and the render side (which reads them).

struct RuntimeSettings {
    float timeScale = 1.0f;
    bool wireframe = false;
    bool transparency = true;
    bool frustumCulling = true;
    bool showHelp = false;
    bool showFps = false;

    static RuntimeSettings& instance() {
        static RuntimeSettings settings;
        return settings;
    }
};
