#version 330
// Skinned meshes seen from the sun, skinned as in standard_skeletal.vert.

const int kMaxBones = 64;

in vec3 vIn_ms_Position;
in vec3 vIn_ms_Normal;
in vec3 vIn_ms_Tangent;
in vec3 vIn_ms_Bitangent;
in vec2 vIn_ts_TexCoord;
in vec4 vIn_Color;
in uint vIn_BoneIndex1;
in float vIn_BoneWeight1;
in uint vIn_BoneIndex2;
in float vIn_BoneWeight2;

uniform mat4 u_Model;
uniform mat4 u_View;
uniform mat4 u_Projection;
uniform mat3 u_NormalTransform;
uniform vec3 u_ms_BoneSkinPositionArray[kMaxBones];
uniform vec3 u_ms_BonePositionArray[kMaxBones];
uniform vec4 u_ms_BoneOrientationArray[kMaxBones];  // quaternions x, y, z, w

out vec3 vEsPosition;
out vec3 vEsNormal;
out vec3 vEsTangent;
out vec3 vEsBitangent;
out vec2 vTexCoord;
flat out vec4 vColor;  // one colour per primitive

vec3 rotate(vec4 q, vec3 v) {
    return v + 2.0 * cross(q.xyz, cross(q.xyz, v) + q.w * v);
}

void main() {
    int bone1 = int(min(vIn_BoneIndex1, uint(kMaxBones - 1)));
    int bone2 = int(min(vIn_BoneIndex2, uint(kMaxBones - 1)));
    float weightSum = vIn_BoneWeight1 + vIn_BoneWeight2;
    float w1 = weightSum > 1e-6 ? vIn_BoneWeight1 / weightSum : 0.0;
    float w2 = weightSum > 1e-6 ? vIn_BoneWeight2 / weightSum : 0.0;
    float unskinned = weightSum > 1e-6 ? 0.0 : 1.0;
    vec4 q1 = u_ms_BoneOrientationArray[bone1];
    vec4 q2 = u_ms_BoneOrientationArray[bone2];

    vec3 position = w1 * (rotate(q1, vIn_ms_Position - u_ms_BoneSkinPositionArray[bone1]) + u_ms_BonePositionArray[bone1]) +
                    w2 * (rotate(q2, vIn_ms_Position - u_ms_BoneSkinPositionArray[bone2]) + u_ms_BonePositionArray[bone2]) +
                    unskinned * vIn_ms_Position;
    vec3 normal = w1 * rotate(q1, vIn_ms_Normal) + w2 * rotate(q2, vIn_ms_Normal) + unskinned * vIn_ms_Normal;
    vec3 tangent = w1 * rotate(q1, vIn_ms_Tangent) + w2 * rotate(q2, vIn_ms_Tangent) + unskinned * vIn_ms_Tangent;
    vec3 bitangent =
        w1 * rotate(q1, vIn_ms_Bitangent) + w2 * rotate(q2, vIn_ms_Bitangent) + unskinned * vIn_ms_Bitangent;

    mat4 modelView = u_View * u_Model;
    vec4 esPosition = modelView * vec4(position, 1.0);
    vEsPosition = esPosition.xyz;
    vEsNormal = u_NormalTransform * normal;
    vEsTangent = mat3(modelView) * tangent;
    vEsBitangent = mat3(modelView) * bitangent;
    vTexCoord = vIn_ts_TexCoord;
    vColor = vIn_Color;
    gl_Position = u_Projection * esPosition;
}
