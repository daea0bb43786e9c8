#pragma once
// How a surface is shaded and blended: lighting coefficients, up to seven
// textures, a blend mode and two depth switches, written one per ".mtl" file.
#include <array>
#include <cstdint>
#include <glm/vec3.hpp>
#include <memory>
#include <optional>
#include <string>

#include "utils/resource_manager.h"
#include "utils/singleton.h"

class ShaderProgram;
class Texture;

// The value is what the ".mtl" keyword stands for.
enum class BlendMode : int32_t {
    Overwrite = 0,           // "overwrite": no blending
    Alpha = 1,               // "alpha": source alpha, one minus source alpha
    PremultipliedAlpha = 2,  // "premultipliedAlpha": one, one minus source alpha
    Add = 3,                 // "add": one, one
    Multiply = 4,            // "multiply": destination colour, zero
};

class Material {
  public:
    // Fields as a file sets them; the initial values are what a file that
    // leaves a key out gets. Texture fields hold texture resource names.
    float shadingFactor = 1.0f;
    glm::vec3 ambient{0.0f, 0.0f, 0.0f};
    glm::vec3 diffuse{1.0f, 1.0f, 1.0f};
    glm::vec3 specular{0.0f, 0.0f, 0.0f};
    float alpha = 1.0f;  // read from the file; apply does not send it
    float specularExponent = 20.0f;
    BlendMode blendMode = BlendMode::Overwrite;
    bool depthWrite = true;
    bool depthCheck = true;
    std::optional<std::string> diffuseAlphaMap;
    std::optional<std::string> normalMap;
    std::optional<std::string> specularMap;
    std::optional<std::string> selectionSampler;
    float selectionSamplerTiling = 1.0f;
    std::array<std::optional<std::string>, 3> terrainLayers;
    std::array<float, 3> terrainLayerTilings{1.0f, 1.0f, 1.0f};

    // Sets the material's uniforms and textures on program, which must be
    // current, and the blend and depth state; call right before drawing.
    // Diffuse and specular maps fall back to the white default texture; a
    // named normal map sets "u_NormalMapUsed" to 1, none sets it to 0; an
    // absent selection or terrain texture leaves its unit as it is. Texture
    // names resolve on first use; a name the texture registry lacks is
    // reported once and then treated as absent.
    void apply(ShaderProgram& program);

    // Parses ".mtl" text. Returns the material and sets name, or returns
    // nullptr after the record "Malformed material file: "sourceName"!".
    static std::unique_ptr<Material> parse(const std::string& text, const std::string& sourceName,
                                           std::string& name);

  private:
    // Slots of the texture cache, in this order.
    enum Slot : std::size_t { DiffuseAlpha, Normal, Specular, Selection, Layer0, Layer1, Layer2, SlotCount };

    Texture* resolve(Slot slot, const std::optional<std::string>& name);

    std::array<Texture*, SlotCount> textures{};
    std::array<bool, SlotCount> unresolvable{};
    uint32_t textureGeneration = 0;
    bool texturesResolvedOnce = false;
};

class MaterialManager : public ResourceManager<Material>, public Singleton<MaterialManager> {
  public:
    // Registers the file's material under the name in its header. A
    // malformed file registers nothing; a name already taken keeps its first
    // material (the later one is reported and dropped).
    void load(const std::string& path) override;

  protected:
    std::string typeName() const override { return "Material"; }
};
