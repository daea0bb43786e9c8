#version 330
// The scenery beyond the arena and the base markings: shaded entirely per
// vertex, so its pixels (a large share of the window at the bases) only
// interpolate a colour. The albedo and the specular map are read at each
// vertex, lit by Blinn-Phong from the sun with the shadow looked up once per
// vertex, and a haze pales the ground towards the horizon.
//
// The normal is the stored one averaged with the normal of the texture frame
// (the same direction wherever the mapping does not shear): the program reads
// every attribute a mesh instance describes.

in vec3 vIn_ms_Position;
in vec3 vIn_ms_Normal;
in vec3 vIn_ms_Tangent;
in vec3 vIn_ms_Bitangent;
in vec2 vIn_ts_TexCoord;
in vec4 vIn_Color;

uniform mat4 u_Model;
uniform mat4 u_View;
uniform mat4 u_Projection;
uniform mat4 u_ShadowMapModelViewProjection;
uniform vec3 u_es_LightDirection;  // the way the sunlight travels, eye space, unit length
uniform float u_ShadingFactor;
uniform vec3 u_AmbientCoefficient;
uniform vec3 u_DiffuseCoefficient;
uniform vec3 u_SpecularCoefficient;
uniform float u_SpecularExponent;
uniform sampler2D u_DiffuseAlphaMap;
uniform sampler2D u_SpecularMap;
uniform sampler2DShadow u_ShadowMap;
uniform float u_SelectionSamplerTiling;
uniform float u_TerrainLayerTiling[3];

out vec3 vColour;

const vec3 kHaze = vec3(0.63, 0.69, 0.74);

float sunlight(vec4 shadowCoord, float cosine) {
    vec3 coord = shadowCoord.xyz / max(abs(shadowCoord.w), 1e-6) * 0.5 + 0.5;
    bool inside = shadowCoord.w > 0.0 && all(greaterThanEqual(coord, vec3(0.0))) &&
                  all(lessThanEqual(coord, vec3(1.0)));
    float reference = coord.z - (0.0008 + 0.002 * (1.0 - cosine));
    float lit = textureLod(u_ShadowMap, vec3(coord.xy, reference), 0.0);
    return inside ? lit : 1.0;
}

void main() {
    mat4 modelView = u_View * u_Model;
    vec4 esPosition = modelView * vec4(vIn_ms_Position, 1.0);

    // The meshes map their own repeats; a material may still scale them by
    // its largest tiling (all are 1 in the shipped ones).
    float tiling = max(max(u_TerrainLayerTiling[0], u_TerrainLayerTiling[1]),
                       max(u_TerrainLayerTiling[2], abs(u_SelectionSamplerTiling)));
    vec2 texCoord = vIn_ts_TexCoord * max(tiling, 1.0);

    vec3 frameNormal = cross(vIn_ms_Tangent, vIn_ms_Bitangent);
    frameNormal *= dot(frameNormal, vIn_ms_Normal) < 0.0 ? -1.0 : 1.0;
    vec3 msNormal = vIn_ms_Normal + frameNormal * inversesqrt(max(dot(frameNormal, frameNormal), 1e-12));
    vec3 normal = mat3(modelView) * msNormal;
    normal *= inversesqrt(max(dot(normal, normal), 1e-12));

    vec3 toLight = -u_es_LightDirection;
    vec3 toEye = -esPosition.xyz * inversesqrt(max(dot(esPosition.xyz, esPosition.xyz), 1e-12));
    vec3 halfway = toLight + toEye;
    halfway *= inversesqrt(max(dot(halfway, halfway), 1e-12));
    float cosine = max(dot(normal, toLight), 0.0);
    float shadow = sunlight(u_ShadowMapModelViewProjection * vec4(vIn_ms_Position, 1.0), cosine);
    float highlight = cosine > 0.0 ? pow(max(dot(normal, halfway), 1e-4), max(u_SpecularExponent, 1.0)) : 0.0;
    vec3 albedo = textureLod(u_DiffuseAlphaMap, texCoord, 0.0).rgb;
    vec3 specularMap = textureLod(u_SpecularMap, texCoord, 0.0).rgb;

    float shading = clamp(u_ShadingFactor, 0.0, 1.0);
    vec3 light = mix(u_DiffuseCoefficient, u_AmbientCoefficient + u_DiffuseCoefficient * cosine * shadow, shading);
    vec3 colour = albedo * vIn_Color.rgb * light + u_SpecularCoefficient * specularMap * highlight * shadow * shading;

    vec3 world = (u_Model * vec4(vIn_ms_Position, 1.0)).xyz;
    vColour = mix(colour, kHaze, 0.6 * smoothstep(75.0, 125.0, length(world.xz)));
    gl_Position = u_Projection * esPosition;
}
