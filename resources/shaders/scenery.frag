#version 330
// The pixels of the scenery: the albedo lit by what the vertices worked out,
// paled by the haze.

in vec2 vTexCoord;
in vec3 vLight;
in vec3 vSpecular;
in float vHaze;

uniform sampler2D u_DiffuseAlphaMap;

out vec4 fragColor;

const vec3 kHaze = vec3(0.63, 0.69, 0.74);

void main() {
    vec3 colour = texture(u_DiffuseAlphaMap, vTexCoord).rgb * vLight + vSpecular;
    fragColor = vec4(mix(colour, kHaze, vHaze), 1.0);
}
