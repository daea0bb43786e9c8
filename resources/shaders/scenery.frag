#version 330
// The pixels of the scenery: the colour its vertices worked out.

in vec3 vColour;

out vec4 fragColor;

void main() {
    fragColor = vec4(vColour, 1.0);
}
