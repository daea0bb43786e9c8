#version 330
// Surface shading of everything drawn into the window.
//
// The albedo is the diffuse-alpha map, or for terrain materials three layers
// blended by the selection map. Terrain materials mark themselves with a
// negative selection tiling (the selection map is looked up with its size):
// the layers share texture units with the other maps, so a program cannot
// tell from the bound textures alone. Lighting is Blinn-Phong from the sun
// with soft shadows; u_ShadingFactor blends the unlit colour (albedo times
// the diffuse coefficient, 0) to the lit one (1).

in vec3 vEsPosition;
in vec3 vEsNormal;
in vec3 vEsTangent;
in vec3 vEsBitangent;
in vec2 vTexCoord;
in vec4 vColor;
in vec4 vShadowCoord;  // clip space of the light; w = 0 skips the lookup
flat in float vVisible;

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
uniform sampler2DShadow u_ShadowMap;
uniform vec3 u_es_LightDirection;  // the way the sunlight travels, eye space

out vec4 fragColor;

vec3 safeNormalize(vec3 v, vec3 fallback) {
    float len = length(v);
    return len > 1e-6 ? v / len : fallback;
}

// Fraction of sunlight reaching the fragment: four bilinear comparisons on
// a rotated grid, about a 4 x 4 texel footprint.
float sunlight(float cosine) {
    if (vShadowCoord.w <= 0.0) {
        return 1.0;
    }
    vec3 coord = vShadowCoord.xyz / vShadowCoord.w * 0.5 + 0.5;
    if (any(lessThan(coord, vec3(0.0))) || any(greaterThan(coord, vec3(1.0)))) {
        return 1.0;
    }
    float reference = coord.z - (0.0008 + 0.002 * (1.0 - cosine));
    vec2 texel = 1.0 / vec2(textureSize(u_ShadowMap, 0));
    float lit = texture(u_ShadowMap, vec3(coord.xy + vec2(-1.5, -0.5) * texel, reference));
    lit += texture(u_ShadowMap, vec3(coord.xy + vec2(0.5, -1.5) * texel, reference));
    lit += texture(u_ShadowMap, vec3(coord.xy + vec2(-0.5, 1.5) * texel, reference));
    lit += texture(u_ShadowMap, vec3(coord.xy + vec2(1.5, 0.5) * texel, reference));
    return lit * 0.25;
}

void main() {
    if (vVisible < 0.5) {
        discard;
    }
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
    if (albedo.a < 0.004) {
        discard;
    }

    vec3 normal = safeNormalize(vEsNormal, vec3(0.0, 0.0, 1.0));
    if (u_NormalMapUsed != 0 && !terrain) {
        vec3 tangentNormal = texture(u_NormalMap, vTexCoord).xyz * 2.0 - 1.0;
        mat3 tangentSpace = mat3(safeNormalize(vEsTangent, vec3(1.0, 0.0, 0.0)),
                                 safeNormalize(vEsBitangent, vec3(0.0, 1.0, 0.0)), normal);
        normal = safeNormalize(tangentSpace * tangentNormal, normal);
    }
    if (!gl_FrontFacing) {
        normal = -normal;
    }

    vec3 toLight = -safeNormalize(u_es_LightDirection, vec3(0.0, 0.0, -1.0));
    vec3 toEye = safeNormalize(-vEsPosition, vec3(0.0, 0.0, 1.0));
    float cosine = max(dot(normal, toLight), 0.0);
    float shadow = sunlight(cosine);
    float highlight = cosine > 0.0 ? pow(max(dot(normal, normalize(toLight + toEye)), 1e-4), max(u_SpecularExponent, 1.0))
                                   : 0.0;
    vec3 lit = albedo.rgb * (u_AmbientCoefficient + u_DiffuseCoefficient * cosine * shadow) +
               u_SpecularCoefficient * specularMap * highlight * shadow;
    vec3 unlit = albedo.rgb * u_DiffuseCoefficient;
    fragColor = vec4(mix(unlit, lit, clamp(u_ShadingFactor, 0.0, 1.0)), albedo.a);
}
