#version 330
// Glyph quads in normalised device coordinates.

in vec4 vIn_Color;
in vec3 vIn_ms_Position;
in vec2 vIn_ts_TexCoord;

out vec2 vTexCoord;
flat out vec4 vColor;  // one colour per primitive

void main() {
    vTexCoord = vIn_ts_TexCoord;
    vColor = vIn_Color;
    gl_Position = vec4(vIn_ms_Position, 1.0);
}
