#pragma once
// The input state the input processor reads by polling rather than through
// events: the cursor position and whether a key or mouse button is held now.
// Behind an interface so the processor can be driven without a window.

class InputPolling {
  public:
    virtual ~InputPolling() = default;

    // Cursor position in window coordinates (pixels, may lie outside the
    // window while it has focus).
    virtual void cursorPosition(double& x, double& y) const = 0;
    // Whether the key (GLFW key code) is held down now.
    virtual bool keyHeld(int key) const = 0;
    // Whether the mouse button (GLFW button number) is held down now.
    virtual bool mouseButtonHeld(int button) const = 0;
};

// Polls the window of the Context (glfwGetCursorPos, glfwGetKey,
// glfwGetMouseButton). The window is fetched on every call, so the processor
// may be created before the window exists. Without a window nothing is held
// and the cursor is at (0, 0).
class GlfwInputPolling : public InputPolling {
  public:
    void cursorPosition(double& x, double& y) const override;
    bool keyHeld(int key) const override;
    bool mouseButtonHeld(int button) const override;
};
