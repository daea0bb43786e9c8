#version 330
// Surface shading of everything drawn into the window.
//
// The albedo is the diffuse-alpha map, or for terrain materials three layers
// blended by the selection map. Terrain materials mark themselves with a
// negative selection tiling (the selection map is looked up with its size).
// Lighting is Blinn-Phong from the sun with soft shadows; u_ShadingFactor
// blends the unlit colour (albedo times the diffuse coefficient, 0) to the
// lit one (1).
//
// Cost matters more than anything here: this runs for every pixel of the
// field, and a software rasteriser pays for both sides of every branch. So
// the shader reads each texture unit exactly once. Units are shared in pairs
// (0: diffuse-alpha or selection, 1: normal map or terrain layer 0, 2:
// specular map or terrain layer 1, 3: terrain layer 2) and a material binds
// its texture through the name it uses, so one read per unit serves both
// kinds of material; only the coordinates differ. The partner names are still
// read for their size: a terrain map whose unit holds no texture weighs
// nothing.

in vec3 vEsPosition;
in vec3 vEsNormal;
in vec3 vEsTangent;
in vec3 vEsBitangent;
in vec2 vTexCoord;
flat in vec4 vColor;
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
uniform vec3 u_es_LightDirection;  // the way the sunlight travels, eye space, unit length

out vec4 fragColor;

// Fraction of sunlight reaching the fragment: one filtered comparison, which
// blends the four nearest shadow texels. Outside the light's box the sun
// shines.
float sunlight(float cosine) {
    vec3 coord = vShadowCoord.xyz / max(abs(vShadowCoord.w), 1e-6) * 0.5 + 0.5;
    bool inside = vShadowCoord.w > 0.0 && all(greaterThanEqual(coord, vec3(0.0))) &&
                  all(lessThanEqual(coord, vec3(1.0)));
    float reference = coord.z - (0.0008 + 0.002 * (1.0 - cosine));
    float lit = texture(u_ShadowMap, vec3(coord.xy, reference));
    return inside ? lit : 1.0;
}

void main() {
    if (vVisible < 0.5) {
        discard;
    }
    bool terrain = u_SelectionSamplerTiling < 0.0;
    vec4 unit0 = texture(u_DiffuseAlphaMap, terrain ? vTexCoord * -u_SelectionSamplerTiling : vTexCoord);
    vec4 unit1 = texture(u_NormalMap, terrain ? vTexCoord * u_TerrainLayerTiling[0] : vTexCoord);
    vec4 unit2 = texture(u_SpecularMap, terrain ? vTexCoord * u_TerrainLayerTiling[1] : vTexCoord);
    vec4 unit3 = texture(u_TerrainLayer[2], vTexCoord * u_TerrainLayerTiling[2]);

    vec4 present = vec4(greaterThan(ivec4(textureSize(u_SelectionSampler, 0).x, textureSize(u_TerrainLayer[0], 0).x,
                                          textureSize(u_TerrainLayer[1], 0).x, textureSize(u_TerrainLayer[2], 0).x),
                                    ivec4(0)));
    vec3 weights = unit0.rgb * present.x * present.yzw;
    weights /= max(weights.r + weights.g + weights.b, 1e-4);
    vec4 terrainAlbedo = unit1 * weights.r + unit2 * weights.g + unit3 * weights.b;

    vec4 albedo = (terrain ? terrainAlbedo : unit0) * vColor;
    if (albedo.a < 0.004) {
        discard;
    }
    vec3 specularMap = terrain ? vec3(1.0) : unit2.rgb;

    // Without a normal map the tangent-space normal is straight out, which
    // leaves the interpolated normal as it is.
    vec3 tangentNormal = (u_NormalMapUsed != 0 && !terrain) ? unit1.xyz * 2.0 - 1.0 : vec3(0.0, 0.0, 1.0);
    vec3 normal = vEsTangent * tangentNormal.x + vEsBitangent * tangentNormal.y + vEsNormal * tangentNormal.z;
    normal *= inversesqrt(max(dot(normal, normal), 1e-12));
    if (!gl_FrontFacing) {
        normal = -normal;
    }

    vec3 toLight = -u_es_LightDirection;
    vec3 toEye = -vEsPosition * inversesqrt(max(dot(vEsPosition, vEsPosition), 1e-12));
    vec3 halfway = toLight + toEye;
    halfway *= inversesqrt(max(dot(halfway, halfway), 1e-12));
    float cosine = max(dot(normal, toLight), 0.0);
    float shadow = sunlight(cosine);
    float highlight = cosine > 0.0 ? pow(max(dot(normal, halfway), 1e-4), max(u_SpecularExponent, 1.0)) : 0.0;
    vec3 lit = albedo.rgb * (u_AmbientCoefficient + u_DiffuseCoefficient * cosine * shadow) +
               u_SpecularCoefficient * specularMap * highlight * shadow;
    vec3 unlit = albedo.rgb * u_DiffuseCoefficient;
    fragColor = vec4(mix(unlit, lit, clamp(u_ShadingFactor, 0.0, 1.0)), albedo.a);
}
