// Entry of the OpenGL test program: one real window and context (under Xvfb)
// shared by every test, opened the way the game opens it.
#include <gtest/gtest.h>

#include "context/context.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (Context::instance().createWindow("Flagstorm GL tests", 640, 480, false) != Context::kCreated) {
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    Context::instance().shutdown();
    Context::destroy();
    return result;
}
