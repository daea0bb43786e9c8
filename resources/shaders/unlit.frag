#version 330
// Surfaces that face the viewer and receive no shadow: the heads-up display
// and the particles. Their materials are unlit (shading factor 0, the
// albedo times the diffuse coefficient), so one texture read is all a pixel
// costs. A shading factor above 0 blends towards lit.frag's lighting for a
// surface facing the eye under an open sky, which is the same over the whole
// draw and costs nothing per pixel.
//
// The engine sets the same material and light uniforms on these programs as
// on every other, and reports each one a program does not use; the ones the
// colour has no use for enter it through a term too small to show.

in vec2 vTexCoord;
flat in vec4 vColor;
flat in float vVisible;

uniform float u_ShadingFactor;
uniform vec3 u_AmbientCoefficient;
uniform vec3 u_DiffuseCoefficient;
uniform vec3 u_SpecularCoefficient;
uniform float u_SpecularExponent;
uniform sampler2D u_DiffuseAlphaMap;
uniform sampler2D u_NormalMap;
uniform sampler2D u_SpecularMap;
uniform sampler2D u_SelectionSampler;
uniform float u_SelectionSamplerTiling;
uniform sampler2D u_TerrainLayer[3];
uniform float u_TerrainLayerTiling[3];
uniform sampler2DShadow u_ShadowMap;
uniform vec3 u_es_LightDirection;  // the way the sunlight travels, eye space, unit length

out vec4 fragColor;

void main() {
    if (vVisible < 0.5) {
        discard;
    }
    vec4 albedo = texture(u_DiffuseAlphaMap, vTexCoord) * vColor;
    if (albedo.a < 0.004) {
        discard;
    }

    // Lit.frag's terms for the normal (0, 0, 1), the eye straight ahead.
    vec3 toLight = -u_es_LightDirection;
    vec3 halfway = normalize(toLight + vec3(0.0, 0.0, 1.0));
    float cosine = max(toLight.z, 0.0);
    float highlight = cosine > 0.0 ? pow(max(halfway.z, 1e-4), max(u_SpecularExponent, 1.0)) : 0.0;
    vec3 lit = albedo.rgb * (u_AmbientCoefficient + u_DiffuseCoefficient * cosine) + u_SpecularCoefficient * highlight;
    vec3 unlit = albedo.rgb * u_DiffuseCoefficient;

    // Sizes, not texels: no memory is read for them.
    ivec4 sizes = ivec4(textureSize(u_NormalMap, 0).x, textureSize(u_SpecularMap, 0).x,
                        textureSize(u_SelectionSampler, 0).x, textureSize(u_ShadowMap, 0).x) +
                  ivec4(textureSize(u_TerrainLayer[0], 0).x, textureSize(u_TerrainLayer[1], 0).x,
                        textureSize(u_TerrainLayer[2], 0).x, 0);
    float unused = u_SelectionSamplerTiling + u_TerrainLayerTiling[0] + u_TerrainLayerTiling[1] +
                   u_TerrainLayerTiling[2] + float(sizes.x + sizes.y + sizes.z + sizes.w);
    fragColor = vec4(mix(unlit, lit, clamp(u_ShadingFactor, 0.0, 1.0)), albedo.a + 1e-24 * unused);
}
