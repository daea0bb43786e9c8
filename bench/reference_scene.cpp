#include "reference_scene.h"

#include <GL/glew.h>

#include <cmath>
#include <cstdio>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <vector>

#include "graphics/utility/render_target.h"

namespace {
constexpr int kBoxColumns = 20;
constexpr int kBoxRows = 15;
constexpr int kFloorCells = 90;  // 90 x 90 cells, two triangles each
constexpr float kFloorHalfSize = 50.0f;
constexpr int kQuadTextureSize = 256;

const glm::vec3 kCameraOffset(0.0f, 32.0f, 24.0f);
const glm::vec3 kLightDirection = glm::normalize(glm::vec3(-0.45f, -1.0f, -0.35f));

struct Vertex {
    glm::vec3 position;
    glm::vec3 normal;
    glm::vec3 color;
};
static_assert(sizeof(Vertex) == 36, "tightly packed vertices");

const char* const kShadowVertex = R"(#version 330
in vec3 vIn_Position;
uniform mat4 u_LightViewProjection;
void main() { gl_Position = u_LightViewProjection * vec4(vIn_Position, 1.0); }
)";

const char* const kShadowFragment = R"(#version 330
void main() {}
)";

const char* const kLitVertex = R"(#version 330
in vec3 vIn_Position;
in vec3 vIn_Normal;
in vec3 vIn_Color;
uniform mat4 u_ViewProjection;
uniform mat4 u_LightViewProjection;
out vec3 vNormal;
out vec3 vColor;
out vec4 vShadowCoord;
void main() {
    vNormal = vIn_Normal;
    vColor = vIn_Color;
    vShadowCoord = u_LightViewProjection * vec4(vIn_Position, 1.0);
    gl_Position = u_ViewProjection * vec4(vIn_Position, 1.0);
}
)";

const char* const kLitFragment = R"(#version 330
in vec3 vNormal;
in vec3 vColor;
in vec4 vShadowCoord;
uniform sampler2DShadow u_ShadowMap;
uniform vec3 u_ToLight;
out vec4 fragColor;
void main() {
    vec3 coord = vShadowCoord.xyz / vShadowCoord.w * 0.5 + 0.5;
    float cosine = max(dot(normalize(vNormal), u_ToLight), 0.0);
    float lit = texture(u_ShadowMap, vec3(coord.xy, coord.z - 0.002));
    fragColor = vec4(vColor * (0.35 + 0.8 * cosine * lit), 1.0);
}
)";

const char* const kQuadVertex = R"(#version 330
in vec2 vIn_Position;
out vec2 vTexCoord;
void main() {
    vTexCoord = vIn_Position * 0.5 + 0.5;
    gl_Position = vec4(vIn_Position, 0.0, 1.0);
}
)";

const char* const kQuadFragment = R"(#version 330
in vec2 vTexCoord;
uniform sampler2D u_Overlay;
out vec4 fragColor;
void main() { fragColor = texture(u_Overlay, vTexCoord); }
)";

GLuint compile(GLenum type, const char* source) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status != GL_TRUE) {
        char text[1024] = {};
        glGetShaderInfoLog(shader, sizeof text, nullptr, text);
        std::fprintf(stderr, "reference scene: shader does not compile: %s\n", text);
    }
    return shader;
}

// Attribute 0 position, 1 normal, 2 colour in every program.
GLuint link(const char* vertexSource, const char* fragmentSource) {
    const GLuint program = glCreateProgram();
    const GLuint vertex = compile(GL_VERTEX_SHADER, vertexSource);
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, fragmentSource);
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glBindAttribLocation(program, 0, "vIn_Position");
    glBindAttribLocation(program, 1, "vIn_Normal");
    glBindAttribLocation(program, 2, "vIn_Color");
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint status = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status != GL_TRUE) {
        std::fprintf(stderr, "reference scene: program does not link\n");
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

// Six faces of four vertices, each face with its own normal.
void appendBox(const glm::vec3& center, const glm::vec3& half, const glm::vec3& color,
               std::vector<Vertex>& vertices, std::vector<uint32_t>& indices) {
    static const glm::vec3 kNormals[6] = {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                                          {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
    for (const glm::vec3& normal : kNormals) {
        // Two axes across the face, chosen so that u x v = normal (counter-clockwise seen from outside).
        const glm::vec3 u =
            std::fabs(normal.y) > 0.5f ? glm::vec3(0, 0, normal.y) : glm::vec3(-normal.z, 0, normal.x);
        const glm::vec3 v = glm::cross(normal, u);
        const auto base = static_cast<uint32_t>(vertices.size());
        const glm::vec3 faceCenter = center + normal * half;
        const glm::vec3 corners[4] = {-u - v, u - v, u + v, -u + v};
        for (const glm::vec3& corner : corners) {
            vertices.push_back(Vertex{faceCenter + corner * half, normal, color});
        }
        for (const uint32_t k : {0u, 1u, 2u, 0u, 2u, 3u}) {
            indices.push_back(base + k);
        }
    }
}

void appendFloor(std::vector<Vertex>& vertices, std::vector<uint32_t>& indices) {
    const auto base = static_cast<uint32_t>(vertices.size());
    const float step = 2.0f * kFloorHalfSize / kFloorCells;
    for (int row = 0; row <= kFloorCells; ++row) {
        for (int column = 0; column <= kFloorCells; ++column) {
            const glm::vec3 position(-kFloorHalfSize + step * column, 0.0f, -kFloorHalfSize + step * row);
            const float shade = ((row / 5 + column / 5) % 2 == 0) ? 0.55f : 0.48f;
            vertices.push_back(Vertex{position, {0, 1, 0}, {shade * 0.8f, shade, shade * 0.6f}});
        }
    }
    const auto at = [base](int row, int column) {
        return base + static_cast<uint32_t>(row * (kFloorCells + 1) + column);
    };
    for (int row = 0; row < kFloorCells; ++row) {
        for (int column = 0; column < kFloorCells; ++column) {
            // Rows grow towards +z (the viewer): (column, row + 1), (column + 1, row + 1), (column + 1, row)
            // winds counter-clockwise seen from above.
            for (const uint32_t index : {at(row, column), at(row + 1, column), at(row + 1, column + 1),
                                         at(row, column), at(row + 1, column + 1), at(row, column + 1)}) {
                indices.push_back(index);
            }
        }
    }
}

// A dark frame that fades in towards the edges, opaque nowhere.
std::vector<uint8_t> overlayTexels() {
    std::vector<uint8_t> texels(kQuadTextureSize * kQuadTextureSize * 4);
    for (int y = 0; y < kQuadTextureSize; ++y) {
        for (int x = 0; x < kQuadTextureSize; ++x) {
            const float dx = (x + 0.5f) / kQuadTextureSize * 2.0f - 1.0f;
            const float dy = (y + 0.5f) / kQuadTextureSize * 2.0f - 1.0f;
            const float edge = std::fmin(1.0f, std::fmax(0.0f, (dx * dx + dy * dy - 0.5f) * 0.6f));
            uint8_t* texel = &texels[static_cast<std::size_t>((y * kQuadTextureSize + x) * 4)];
            texel[0] = 10;
            texel[1] = 12;
            texel[2] = 20;
            texel[3] = static_cast<uint8_t>(edge * 255.0f);
        }
    }
    return texels;
}

void pointAttributes() {
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<const void*>(0));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<const void*>(12));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<const void*>(24));
}
}  // namespace

ReferenceScene::ReferenceScene() {
    shadowProgram = link(kShadowVertex, kShadowFragment);
    litProgram = link(kLitVertex, kLitFragment);
    quadProgram = link(kQuadVertex, kQuadFragment);

    std::vector<Vertex> vertices;
    std::vector<uint32_t> indices;
    for (int row = 0; row < kBoxRows; ++row) {
        for (int column = 0; column < kBoxColumns; ++column) {
            const float height = 0.5f + 0.25f * static_cast<float>((row * 7 + column * 3) % 7);
            const glm::vec3 center(-19.0f + 2.0f * column, height, -14.0f + 2.0f * row);
            const glm::vec3 color = (row + column) % 3 == 0   ? glm::vec3(0.7f, 0.3f, 0.25f)
                                    : (row + column) % 3 == 1 ? glm::vec3(0.3f, 0.4f, 0.7f)
                                                              : glm::vec3(0.65f, 0.6f, 0.5f);
            appendBox(center, glm::vec3(0.4f, height, 0.4f), color, vertices, indices);
        }
    }
    boxIndexCount = static_cast<int32_t>(indices.size());
    appendFloor(vertices, indices);
    floorIndexCount = static_cast<int32_t>(indices.size()) - boxIndexCount;

    glGenVertexArrays(1, &sceneArray);
    glBindVertexArray(sceneArray);
    glGenBuffers(1, &sceneBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, sceneBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(Vertex)), vertices.data(),
                 GL_STATIC_DRAW);
    glGenBuffers(1, &sceneIndices);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, sceneIndices);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(uint32_t)),
                 indices.data(), GL_STATIC_DRAW);
    pointAttributes();

    const float corners[8] = {-1.0f, -1.0f, 1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f};
    glGenVertexArrays(1, &quadArray);
    glBindVertexArray(quadArray);
    glGenBuffers(1, &quadBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, quadBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glBindVertexArray(0);

    const std::vector<uint8_t> texels = overlayTexels();
    glGenTextures(1, &quadTexture);
    glBindTexture(GL_TEXTURE_2D, quadTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kQuadTextureSize, kQuadTextureSize, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    // The game's own shadow map (1024 x 1024, 24-bit depth, filtered comparison).
    const bool complete = RenderTargets::instance().shadowUsable();
    if (!complete) {
        std::fprintf(stderr, "reference scene: the shadow framebuffer is incomplete\n");
    }
    ready = complete && shadowProgram != 0 && litProgram != 0 && quadProgram != 0;
}

ReferenceScene::~ReferenceScene() {
    glDeleteTextures(1, &quadTexture);
    glDeleteBuffers(1, &quadBuffer);
    glDeleteVertexArrays(1, &quadArray);
    glDeleteBuffers(1, &sceneIndices);
    glDeleteBuffers(1, &sceneBuffer);
    glDeleteVertexArrays(1, &sceneArray);
    glDeleteProgram(quadProgram);
    glDeleteProgram(litProgram);
    glDeleteProgram(shadowProgram);
}

void ReferenceScene::draw(int width, int height) {
    if (!ready || width <= 0 || height <= 0) {
        return;
    }
    const glm::mat4 lightView =
        glm::lookAt(-50.0f * kLightDirection, glm::vec3(0.0f), glm::vec3(0.0f, 1.0f, 0.0f));
    const glm::mat4 lightViewProjection = glm::ortho(-20.0f, 20.0f, -20.0f, 20.0f, 20.0f, 80.0f) * lightView;
    const glm::mat4 viewProjection =
        glm::perspective(glm::radians(45.0f), static_cast<float>(width) / static_cast<float>(height), 2.0f,
                         100.0f) *
        glm::lookAt(kCameraOffset, glm::vec3(0.0f), glm::vec3(0.0f, 1.0f, 0.0f));

    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    glBindVertexArray(sceneArray);

    // Shadow map: the boxes' back faces, as the game draws its casters.
    RenderTargets& targets = RenderTargets::instance();
    targets.activate(RenderTargets::Shadow);
    glViewport(0, 0, RenderTargets::kShadowMapSize, RenderTargets::kShadowMapSize);
    glClear(GL_DEPTH_BUFFER_BIT);
    glCullFace(GL_FRONT);
    glUseProgram(shadowProgram);
    glUniformMatrix4fv(glGetUniformLocation(shadowProgram, "u_LightViewProjection"), 1, GL_FALSE,
                       glm::value_ptr(lightViewProjection));
    glDrawElements(GL_TRIANGLES, boxIndexCount, GL_UNSIGNED_INT, nullptr);
    glCullFace(GL_BACK);

    // The lit scene: the floor first, then the boxes standing on it.
    targets.activate(RenderTargets::Window);
    glViewport(0, 0, width, height);
    glUseProgram(litProgram);
    glUniformMatrix4fv(glGetUniformLocation(litProgram, "u_ViewProjection"), 1, GL_FALSE,
                       glm::value_ptr(viewProjection));
    glUniformMatrix4fv(glGetUniformLocation(litProgram, "u_LightViewProjection"), 1, GL_FALSE,
                       glm::value_ptr(lightViewProjection));
    const glm::vec3 toLight = -kLightDirection;
    glUniform3fv(glGetUniformLocation(litProgram, "u_ToLight"), 1, glm::value_ptr(toLight));
    glActiveTexture(GL_TEXTURE4);
    glBindTexture(GL_TEXTURE_2D, targets.shadowDepthTexture());
    glUniform1i(glGetUniformLocation(litProgram, "u_ShadowMap"), 4);
    const auto floorOffset = static_cast<std::size_t>(boxIndexCount) * sizeof(uint32_t);
    glDrawElements(GL_TRIANGLES, floorIndexCount, GL_UNSIGNED_INT,
                   reinterpret_cast<const void*>(floorOffset));
    glDrawElements(GL_TRIANGLES, boxIndexCount, GL_UNSIGNED_INT, nullptr);

    // The full-screen quad, blended over the scene without depth.
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(quadProgram);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, quadTexture);
    glUniform1i(glGetUniformLocation(quadProgram, "u_Overlay"), 0);
    glBindVertexArray(quadArray);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);

    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glBindVertexArray(0);
    glUseProgram(0);
}
