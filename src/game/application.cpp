#include "game/application.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <boost/chrono.hpp>
#include <boost/filesystem/operations.hpp>
#include <boost/log/core.hpp>
#include <boost/log/expressions.hpp>
#include <boost/thread/thread.hpp>
#include <cstdint>
#include <exception>
#include <string>

#include "context/context.h"
#include "game/game.h"
#include "graphics/billboard.h"
#include "graphics/resources/material.h"
#include "graphics/resources/mesh.h"
#include "graphics/resources/shader_program.h"
#include "graphics/resources/texture.h"
#include "graphics/utility/render_target.h"
#include "io/data_keys.h"
#include "io/data_manager.h"
#include "io/file_system.h"
#include "mechanics/volume_manager.h"
#include "utils/log.h"

namespace {
int64_t clockNanoseconds() {
    return boost::chrono::duration_cast<boost::chrono::nanoseconds>(
               boost::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Records go to the library's default console sink; the console shows info
// and above (progress records at debug stay quiet).
void setUpLogging() {
    boost::log::core::get()->set_filter(boost::log::trivial::severity >= boost::log::trivial::info);
}

struct WindowSettings {
    std::string title;
    uint32_t width = 0;
    uint32_t height = 0;
    bool fullscreen = false;
};

// The game reads its content from the directory it runs in. Started anywhere
// else (a terminal's home directory, a desktop menu), it says where it looked
// instead of failing later on the first missing data key.
bool contentPresent() {
    if (FileSystem::isDirectory("data/")) {
        return true;
    }
    boost::system::error_code error;
    const boost::filesystem::path here = boost::filesystem::current_path(error);
    LOG(fatal) << "Cannot start without the directory \"data/\" in \"" << (error ? "." : here.string())
               << "\": the game runs in the directory that holds its content, and the \"flagstorm\" launcher"
                  " starts it there!";
    return false;
}

// Fills the data store and reads every key once with its typed read. Returns
// false after a fatal record when the game cannot run with the data.
bool loadData(WindowSettings& window) {
    if (!contentPresent()) {
        return false;
    }
    try {
        DataManager::instance().loadDirectory("data/", ".dat", true);
        window.title = DataManager::getValue<std::string>("context.window.title");
        window.width = DataManager::getValue<uint32_t>("context.window.resolution.x");
        window.height = DataManager::getValue<uint32_t>("context.window.resolution.y");
        window.fullscreen = DataManager::getValue<bool>("context.window.fullscreen");
        DataManager::getValue<uint16_t>("context.tickrate");
        checkDataKeys();
        return true;
    } catch (const MissingDataKeyError& missing) {
        LOG(fatal) << "Cannot start without data key \"" << missing.key << "\"!";
    } catch (const DataValueError& bad) {
        LOG(fatal) << bad.what();
    } catch (const boost::bad_lexical_cast& bad) {
        LOG(fatal) << "Data value does not convert: " << bad.what();
    } catch (const std::exception& other) {
        LOG(fatal) << other.what();
    }
    return false;
}

// Materials, shader programs, meshes and textures, in that order; everything
// but the materials goes into the graphics card, so the context must be
// current. A file that does not load is reported and the rest still load.
void loadGraphics() {
    LOG(debug) << "Loading materials from <resources/materials/>...";
    MaterialManager::instance().loadDirectory("resources/materials/", ".mtl", true);
    LOG(debug) << "Loading shader programs from <resources/shaders/>...";
    ShaderProgramManager::instance().loadDirectory("resources/shaders/", ".spd", true);
    LOG(debug) << "Loading meshes from <resources/meshes/>...";
    MeshManager::instance().loadDirectory("resources/meshes/", ".mshd", true);
    LOG(debug) << "Loading textures from <resources/textures/>...";
    TextureManager::instance().loadDirectory("resources/textures/", "", true);
}

// Releases every OpenGL name the registries hold while the context that
// made them is still current; the registries themselves live on, empty.
void releaseGraphics() {
    LOG(debug) << "Releasing graphics resources...";
    MaterialManager::instance().clear();
    ShaderProgramManager::instance().clear();
    MeshManager::instance().clear();
    TextureManager::instance().clear();
    Billboard::releaseSharedBuffer();
    RenderTargets::release();
}
}  // namespace

double frameDelta(int64_t t0, int64_t t1) {
    const int64_t microseconds = (t1 - t0) / 1000;
    return static_cast<double>(static_cast<float>(static_cast<double>(microseconds) / 1000000.0));
}

int runFlagstorm(const FramePass& pass) {
    setUpLogging();

    WindowSettings settings;
    if (!loadData(settings)) {
        return 1;
    }

    Context& context = Context::instance();
    if (context.createWindow(settings.title, settings.width, settings.height, settings.fullscreen) !=
        Context::kCreated) {
        LOG(fatal) << "Cannot run without a window and its OpenGL context!";
        Context::destroy();
        return 1;
    }

    loadGraphics();
    // The render targets, after the graphics registries: they need the
    // window's context.
    RenderTargets::instance();

    LOG(debug) << "Loading collision volumes from <data/collision/>...";
    CollisionVolumeManager::instance().loadDirectory("data/collision/", ".volumes", true);
    CollisionVolumeManager::instance().addFloorVolumes();

    int exitCode = 0;
    {
        // The game goes before the window: what it owns releases its OpenGL
        // names while the context is current, and the input processor
        // unsubscribes from a context that still exists.
        Game game;
        if (!game.initialize()) {
            exitCode = 1;
        } else {
            // The first frame's delta is at least 1 ms.
            const boost::chrono::steady_clock::time_point start = boost::chrono::steady_clock::now();
            int64_t t0 =
                boost::chrono::duration_cast<boost::chrono::nanoseconds>(start.time_since_epoch()).count();
            boost::this_thread::sleep_until(start + boost::chrono::microseconds(1000));

            while (glfwWindowShouldClose(context.getWindow()) == GLFW_FALSE) {
                const int64_t t1 = clockNanoseconds();
                const double dt = frameDelta(t0, t1);
                t0 = t1;
                if (pass) {
                    if (!pass(game, context, dt)) {
                        break;
                    }
                    continue;
                }
                game.update(dt);
                context.nextFrame();
            }
            LOG(debug) << "Window closed, shutting down...";
        }
    }

    releaseGraphics();
    context.shutdown();
    Context::destroy();
    return exitCode;
}
