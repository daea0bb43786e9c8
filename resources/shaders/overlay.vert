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

// The light an unlit material's pixels take, the same over the whole draw:
// unlit (shading factor 0) is the albedo times the diffuse coefficient; a
// shading factor above 0 blends towards lit.frag's lighting of a surface
// facing the eye under an open sky. Worked out per vertex and handed on flat,
// so a pixel costs one texture read and a multiply-add.
//
// The engine sets the same material and light uniforms on these programs as
// on every other, and reports each one a program does not use; the ones the
// light has no use for enter it through a term too small to show.
uniform float u_ShadingFactor;
uniform vec3 u_AmbientCoefficient;
uniform vec3 u_DiffuseCoefficient;
uniform vec3 u_SpecularCoefficient;
uniform float u_SpecularExponent;
uniform sampler2D u_NormalMap;
uniform sampler2D u_SpecularMap;
uniform sampler2D u_SelectionSampler;
uniform float u_SelectionSamplerTiling;
uniform sampler2D u_TerrainLayer[3];
uniform float u_TerrainLayerTiling[3];
uniform sampler2DShadow u_ShadowMap;
uniform vec3 u_es_LightDirection;  // the way the sunlight travels, eye space, unit length

flat out vec3 vLightScale;   // times the albedo
flat out vec3 vLightOffset;  // added to it

void passUnlitLight() {
    vec3 toLight = -u_es_LightDirection;
    vec3 halfway = normalize(toLight + vec3(0.0, 0.0, 1.0));
    float cosine = max(toLight.z, 0.0);
    float highlight = cosine > 0.0 ? pow(max(halfway.z, 1e-4), max(u_SpecularExponent, 1.0)) : 0.0;
    float shading = clamp(u_ShadingFactor, 0.0, 1.0);

    // Sizes, not texels: no memory is read for them.
    ivec4 sizes = ivec4(textureSize(u_NormalMap, 0).x, textureSize(u_SpecularMap, 0).x,
                        textureSize(u_SelectionSampler, 0).x, textureSize(u_ShadowMap, 0).x) +
                  ivec4(textureSize(u_TerrainLayer[0], 0).x, textureSize(u_TerrainLayer[1], 0).x,
                        textureSize(u_TerrainLayer[2], 0).x, 0);
    float unused = u_SelectionSamplerTiling + u_TerrainLayerTiling[0] + u_TerrainLayerTiling[1] +
                   u_TerrainLayerTiling[2] + float(sizes.x + sizes.y + sizes.z + sizes.w);

    vLightScale = mix(u_DiffuseCoefficient, u_AmbientCoefficient + u_DiffuseCoefficient * cosine, shading);
    vLightOffset = u_SpecularCoefficient * (highlight * shading) + 1e-24 * unused;
}

void main() {
    passUnlitLight();
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
