#version 330
// One instance per particle, one vertex per corner of the unit quad.
//
// u_ParticleSpace: 0 = centres are in the model's space (moved with it,
// sizes scaled by it), 1 = centres are already in world space.
// u_ParticleOrientation: 0 = facing the camera, turned by the rotation;
// 1 = lying flat on the ground, turned by the rotation (pressure waves);
// 2 = facing the camera, stretched along the velocity (sparks).
// A particle with no lifetime left is moved outside the view and not drawn.

in vec3 vIn_ms_Position;  // quad corner, -0.5 to 0.5
in vec3 vIn_ss_CenterPosition;
in float vIn_Size;
in float vIn_Rotation;  // degrees
in vec4 vIn_Color;
in float vIn_Lifetime;  // seconds left
in vec3 vIn_ss_OrientationVector;  // velocity, units per second

uniform mat4 u_Model;
uniform mat4 u_View;
uniform mat4 u_Projection;
uniform mat4 u_ShadowMapModelViewProjection;
uniform int u_ParticleSpace;
uniform int u_ParticleOrientation;

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
    vTexCoord = vIn_ms_Position.xy + 0.5;
    vColor = vIn_Color;
    if (vIn_Lifetime <= 0.0) {
        vEsPosition = vec3(0.0);
        vEsNormal = vec3(0.0, 0.0, 1.0);
        vEsTangent = vec3(1.0, 0.0, 0.0);
        vEsBitangent = vec3(0.0, 1.0, 0.0);
        vShadowCoord = vec4(0.0);
        vVisible = 0.0;
        gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
        return;
    }

    bool modelSpace = u_ParticleSpace == 0;
    vec3 center = modelSpace ? (u_Model * vec4(vIn_ss_CenterPosition, 1.0)).xyz : vIn_ss_CenterPosition;
    vec3 velocity = modelSpace ? mat3(u_Model) * vIn_ss_OrientationVector : vIn_ss_OrientationVector;
    float size = vIn_Size * (modelSpace ? length(u_Model[0].xyz) : 1.0);
    float angle = radians(vIn_Rotation);
    vec2 corner = mat2(cos(angle), sin(angle), -sin(angle), cos(angle)) * vIn_ms_Position.xy;

    vec4 esPosition;
    if (u_ParticleOrientation == 1) {
        vec3 world = center + vec3(corner.x, 0.0, -corner.y) * size;
        esPosition = u_View * vec4(world, 1.0);
        vEsNormal = mat3(u_View) * vec3(0.0, 1.0, 0.0);
        vEsTangent = mat3(u_View) * vec3(1.0, 0.0, 0.0);
        vEsBitangent = mat3(u_View) * vec3(0.0, 0.0, -1.0);
    } else {
        vec4 esCenter = u_View * vec4(center, 1.0);
        vec2 offset = corner * size;
        if (u_ParticleOrientation == 2) {
            vec2 esVelocity = (mat3(u_View) * velocity).xy;
            float speed = length(esVelocity);
            vec2 along = speed > 1e-4 ? esVelocity / speed : vec2(0.0, 1.0);
            vec2 across = vec2(along.y, -along.x);
            offset = across * (vIn_ms_Position.x * size) + along * (vIn_ms_Position.y * (size + 0.06 * speed));
        }
        esPosition = esCenter + vec4(offset, 0.0, 0.0);
        vEsNormal = vec3(0.0, 0.0, 1.0);
        vEsTangent = vec3(1.0, 0.0, 0.0);
        vEsBitangent = vec3(0.0, 1.0, 0.0);
    }
    vEsPosition = esPosition.xyz;
    vec4 world = inverse(u_View) * esPosition;
    vShadowCoord = u_ShadowMapModelViewProjection * (inverse(u_Model) * world);
    vVisible = 1.0;
    gl_Position = u_Projection * esPosition;
}
