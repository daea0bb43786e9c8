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

void main() {
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
