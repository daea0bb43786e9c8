#version 330
// Static meshes and link ribbons. Meshes leave the colour input disabled, so
// it reads the constant white; ribbons feed their brightness through it.

in vec3 vIn_ms_Position;
in vec3 vIn_ms_Normal;
in vec3 vIn_ms_Tangent;
in vec3 vIn_ms_Bitangent;
in vec2 vIn_ts_TexCoord;
in vec4 vIn_Color;

uniform mat4 u_Model;
uniform mat4 u_View;
uniform mat4 u_Projection;
uniform mat3 u_NormalTransform;
uniform mat4 u_ShadowMapModelViewProjection;

out vec3 vEsPosition;
out vec3 vEsNormal;
out vec3 vEsTangent;
out vec3 vEsBitangent;
out vec2 vTexCoord;
flat out vec4 vColor;  // one colour per primitive
out vec4 vShadowCoord;
flat out float vVisible;

void main() {
    mat4 modelView = u_View * u_Model;
    vec4 esPosition = modelView * vec4(vIn_ms_Position, 1.0);
    vEsPosition = esPosition.xyz;
    vEsNormal = u_NormalTransform * vIn_ms_Normal;
    vEsTangent = mat3(modelView) * vIn_ms_Tangent;
    vEsBitangent = mat3(modelView) * vIn_ms_Bitangent;
    vTexCoord = vIn_ts_TexCoord;
    vColor = vIn_Color;
    vShadowCoord = u_ShadowMapModelViewProjection * vec4(vIn_ms_Position, 1.0);
    vVisible = 1.0;
    gl_Position = u_Projection * esPosition;
}
