#version 330
// Surfaces seen from the sun. Only depth is kept: fragments whose albedo is
// less than half opaque (leaves, cut-outs) cast no shadow; terrain layers are
// opaque. The colour is the surface's own lit colour, as lit.frag computes it
// without shadows, so the program reads the same material inputs as the main
// pass; the shadow target has no colour buffer, so only the cut-out test costs
// anything. Like lit.frag, each texture unit is read once (units are shared by
// the surface maps and the terrain maps, see there).

in vec3 vEsPosition;
in vec3 vEsNormal;
in vec3 vEsTangent;
in vec3 vEsBitangent;
in vec2 vTexCoord;
flat in vec4 vColor;

uniform float u_ShadingFactor;
uniform vec3 u_AmbientCoefficient;
uniform vec3 u_DiffuseCoefficient;
uniform vec3 u_SpecularCoefficient;
uniform float u_SpecularExponent;
uniform sampler2D u_DiffuseAlphaMap;
uniform sampler2D u_NormalMap;
uniform int u_NormalMapUsed;
uniform sampler2D u_SpecularMap;
uniform sampler2D u_SelectionSampler;
uniform float u_SelectionSamplerTiling;
uniform sampler2D u_TerrainLayer[3];
uniform float u_TerrainLayerTiling[3];
uniform vec3 u_es_LightDirection;  // unit length

out vec4 fragColor;

void main() {
    bool terrain = u_SelectionSamplerTiling < 0.0;
    vec4 unit0 = texture(u_DiffuseAlphaMap, terrain ? vTexCoord * -u_SelectionSamplerTiling : vTexCoord);
    if (!terrain && unit0.a * vColor.a < 0.5) {
        discard;
    }

    vec4 unit1 = texture(u_NormalMap, terrain ? vTexCoord * u_TerrainLayerTiling[0] : vTexCoord);
    vec4 unit2 = texture(u_SpecularMap, terrain ? vTexCoord * u_TerrainLayerTiling[1] : vTexCoord);
    vec4 unit3 = texture(u_TerrainLayer[2], vTexCoord * u_TerrainLayerTiling[2]);
    vec4 present = vec4(greaterThan(ivec4(textureSize(u_SelectionSampler, 0).x, textureSize(u_TerrainLayer[0], 0).x,
                                          textureSize(u_TerrainLayer[1], 0).x, textureSize(u_TerrainLayer[2], 0).x),
                                    ivec4(0)));
    vec3 weights = unit0.rgb * present.x * present.yzw;
    weights /= max(weights.r + weights.g + weights.b, 1e-4);
    vec4 albedo = (terrain ? unit1 * weights.r + unit2 * weights.g + unit3 * weights.b : unit0) * vColor;
    vec3 specularMap = terrain ? vec3(1.0) : unit2.rgb;

    vec3 tangentNormal = (u_NormalMapUsed != 0 && !terrain) ? unit1.xyz * 2.0 - 1.0 : vec3(0.0, 0.0, 1.0);
    vec3 normal = vEsTangent * tangentNormal.x + vEsBitangent * tangentNormal.y + vEsNormal * tangentNormal.z;
    normal *= inversesqrt(max(dot(normal, normal), 1e-12));
    vec3 toLight = -u_es_LightDirection;
    vec3 toEye = -vEsPosition * inversesqrt(max(dot(vEsPosition, vEsPosition), 1e-12));
    vec3 halfway = toLight + toEye;
    halfway *= inversesqrt(max(dot(halfway, halfway), 1e-12));
    float cosine = max(dot(normal, toLight), 0.0);
    float highlight = cosine > 0.0 ? pow(max(dot(normal, halfway), 1e-4), max(u_SpecularExponent, 1.0)) : 0.0;
    vec3 lit = albedo.rgb * (u_AmbientCoefficient + u_DiffuseCoefficient * cosine) +
               u_SpecularCoefficient * specularMap * highlight;
    vec3 unlit = albedo.rgb * u_DiffuseCoefficient;
    fragColor = vec4(mix(unlit, lit, clamp(u_ShadingFactor, 0.0, 1.0)), albedo.a);
}
