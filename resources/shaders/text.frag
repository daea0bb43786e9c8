#version 330
// The glyph atlas holds coverage in its alpha channel; the colour comes with
// the vertices.

in vec2 vTexCoord;
flat in vec4 vColor;

uniform sampler2D u_DiffuseAlphaMap;

out vec4 fragColor;

void main() {
    fragColor = vec4(vColor.rgb, vColor.a * texture(u_DiffuseAlphaMap, vTexCoord).a);
}
