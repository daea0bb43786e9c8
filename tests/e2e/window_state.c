/* Minimises or restores a window the way a window manager does: the window is
 * unmapped (or mapped again) and its WM_STATE property says IconicState (or
 * NormalState), which is what GLFW watches for iconification.
 * Usage: flagstorm_window_state <window id> minimise|restore */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc != 3 || (strcmp(argv[2], "minimise") != 0 && strcmp(argv[2], "restore") != 0)) {
        fprintf(stderr, "usage: %s <window id> minimise|restore\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "cannot open display\n");
        return 1;
    }
    Window window = (Window)strtoul(argv[1], NULL, 0);
    const int minimise = strcmp(argv[2], "minimise") == 0;
    Atom wmState = XInternAtom(display, "WM_STATE", False);
    long state[2] = {minimise ? IconicState : NormalState, None};
    XChangeProperty(display, window, wmState, wmState, 32, PropModeReplace, (unsigned char*)state, 2);
    if (minimise) {
        XUnmapWindow(display, window);
    } else {
        XMapWindow(display, window);
    }
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
