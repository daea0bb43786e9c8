#version 330
// Surfaces that face the viewer and receive no shadow: the heads-up display
// and the particles. Their light is the same over a whole draw (the vertex
// shaders work it out), so a pixel costs one texture read.

in vec2 vTexCoord;
flat in vec4 vColor;
flat in float vVisible;
flat in vec3 vLightScale;
flat in vec3 vLightOffset;

uniform sampler2D u_DiffuseAlphaMap;

out vec4 fragColor;

void main() {
    if (vVisible < 0.5) {
        discard;
    }
    vec4 albedo = texture(u_DiffuseAlphaMap, vTexCoord) * vColor;
    if (albedo.a < 0.004) {
        discard;
    }
    fragColor = vec4(albedo.rgb * vLightScale + vLightOffset, albedo.a);
}
