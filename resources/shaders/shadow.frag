#version 330
// Surfaces seen from the sun. Only depth is kept: fragments whose albedo is
// less than half opaque (leaves, cut-outs) cast no shadow. The colour is the
// surface's own lit colour, as lit.frag computes it without shadows, so the
// program reads the same material inputs as the main pass.

in vec3 vEsPosition;
in vec3 vEsNormal;
in vec3 vEsTangent;
in vec3 vEsBitangent;
in vec2 vTexCoord;
in vec4 vColor;

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
uniform vec3 u_es_LightDirection;

out vec4 fragColor;

vec3 safeNormalize(vec3 v, vec3 fallback) {
    float len = length(v);
    return len > 1e-6 ? v / len : fallback;
}

void main() {
    bool terrain = u_SelectionSamplerTiling < 0.0;
    vec4 albedo;
    vec3 specularMap;
    if (terrain) {
        vec3 weights = texture(u_SelectionSampler, vTexCoord * -u_SelectionSamplerTiling).rgb;
        weights /= max(weights.r + weights.g + weights.b, 1e-4);
        albedo = texture(u_TerrainLayer[0], vTexCoord * u_TerrainLayerTiling[0]) * weights.r +
                 texture(u_TerrainLayer[1], vTexCoord * u_TerrainLayerTiling[1]) * weights.g +
                 texture(u_TerrainLayer[2], vTexCoord * u_TerrainLayerTiling[2]) * weights.b;
        specularMap = vec3(1.0);
    } else {
        albedo = texture(u_DiffuseAlphaMap, vTexCoord);
        specularMap = texture(u_SpecularMap, vTexCoord).rgb;
    }
    albedo *= vColor;
    if (albedo.a < 0.5) {
        discard;
    }

    vec3 normal = safeNormalize(vEsNormal, vec3(0.0, 0.0, 1.0));
    if (u_NormalMapUsed != 0 && !terrain) {
        vec3 tangentNormal = texture(u_NormalMap, vTexCoord).xyz * 2.0 - 1.0;
        mat3 tangentSpace = mat3(safeNormalize(vEsTangent, vec3(1.0, 0.0, 0.0)),
                                 safeNormalize(vEsBitangent, vec3(0.0, 1.0, 0.0)), normal);
        normal = safeNormalize(tangentSpace * tangentNormal, normal);
    }
    vec3 toLight = -safeNormalize(u_es_LightDirection, vec3(0.0, 0.0, -1.0));
    vec3 toEye = safeNormalize(-vEsPosition, vec3(0.0, 0.0, 1.0));
    float cosine = max(dot(normal, toLight), 0.0);
    float highlight = cosine > 0.0 ? pow(max(dot(normal, normalize(toLight + toEye)), 1e-4), max(u_SpecularExponent, 1.0))
                                   : 0.0;
    vec3 lit = albedo.rgb * (u_AmbientCoefficient + u_DiffuseCoefficient * cosine) +
               u_SpecularCoefficient * specularMap * highlight;
    vec3 unlit = albedo.rgb * u_DiffuseCoefficient;
    fragColor = vec4(mix(unlit, lit, clamp(u_ShadingFactor, 0.0, 1.0)), albedo.a);
}
