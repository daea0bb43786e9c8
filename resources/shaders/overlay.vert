#version 330
// Screen-space rectangles of the heads-up display: positions arrive in
// normalised device coordinates, the colour once per rectangle. The screen
// faces the viewer and nothing shadows it.

in vec4 vIn_Color;
in vec3 vIn_ms_Position;
in vec2 vIn_ts_TexCoord;

out vec3 vEsPosition;
out vec3 vEsNormal;
out vec3 vEsTangent;
out vec3 vEsBitangent;
out vec2 vTexCoord;
flat out vec4 vColor;  // one colour per primitive
out vec4 vShadowCoord;
flat out float vVisible;

void main() {
    vEsPosition = vec3(vIn_ms_Position.xy, -1.0);
    vEsNormal = vec3(0.0, 0.0, 1.0);
    vEsTangent = vec3(1.0, 0.0, 0.0);
    vEsBitangent = vec3(0.0, 1.0, 0.0);
    vTexCoord = vIn_ts_TexCoord;
    vColor = vIn_Color;
    vShadowCoord = vec4(0.0);
    vVisible = 1.0;
    gl_Position = vec4(vIn_ms_Position.xy, 0.0, 1.0);
}
