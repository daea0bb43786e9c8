#version 330
// Quads that face the camera (flags, health bars): the quad's x and y run
// along the screen's right and up, scaled by the model's scale, around the
// model's origin.

in vec4 vIn_Color;
in vec3 vIn_ms_Position;
in vec2 vIn_ts_TexCoord;

uniform mat4 u_Model;
uniform mat4 u_View;
uniform mat4 u_Projection;
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
    vec3 right = vec3(u_View[0][0], u_View[1][0], u_View[2][0]);
    vec3 up = vec3(u_View[0][1], u_View[1][1], u_View[2][1]);
    vec3 world = u_Model[3].xyz + right * (vIn_ms_Position.x * length(u_Model[0].xyz)) +
                 up * (vIn_ms_Position.y * length(u_Model[1].xyz));
    vec4 esPosition = u_View * vec4(world, 1.0);
    vEsPosition = esPosition.xyz;
    vEsNormal = vec3(0.0, 0.0, 1.0);
    vEsTangent = vec3(1.0, 0.0, 0.0);
    vEsBitangent = vec3(0.0, 1.0, 0.0);
    vTexCoord = vIn_ts_TexCoord;
    vColor = vIn_Color;
    vShadowCoord = u_ShadowMapModelViewProjection * (inverse(u_Model) * vec4(world, 1.0));
    vVisible = 1.0;
    gl_Position = u_Projection * esPosition;
}
