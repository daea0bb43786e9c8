#include "graphics/resources/material.h"

#include <GL/glew.h>

#include <tao/pegtl.hpp>
#include <type_traits>
#include <variant>
#include <vector>

#include "game/runtime_settings.h"
#include "graphics/resources/shader_program.h"
#include "graphics/resources/texture.h"
#include "io/decimal.h"
#include "io/file_system.h"
#include "io/grammar.h"
#include "utils/log.h"

namespace pegtl = tao::pegtl;

namespace {
namespace grammar {
using namespace tao::pegtl;

using grammar_common::comment;
using grammar_common::space;
struct ws : grammar_common::gap {};

struct name : plus<ranges<'a', 'z', 'A', 'Z', '0', '9'>> {};
struct number : seq<plus<digit>, opt<seq<one<'.'>, plus<digit>>>> {};
struct real : number {};
struct signedReal : seq<opt<one<'+', '-'>>, number> {};
struct colour : seq<one<'('>, ws, real, ws, one<','>, ws, real, ws, one<','>, ws, real, ws, one<')'>> {};
struct texturePath : star<not_one<'>'>> {};
struct texture : seq<one<'<'>, texturePath, one<'>'>> {};

struct overwrite : TAO_PEGTL_STRING("overwrite") {};
struct alphaBlend : TAO_PEGTL_STRING("alpha") {};
struct premultipliedAlpha : TAO_PEGTL_STRING("premultipliedAlpha") {};
struct add : TAO_PEGTL_STRING("add") {};
struct multiply : TAO_PEGTL_STRING("multiply") {};
struct blendMode : sor<overwrite, alphaBlend, premultipliedAlpha, add, multiply> {};

struct boolTrue : sor<TAO_PEGTL_STRING("on"), TAO_PEGTL_STRING("ON"), one<'1'>, TAO_PEGTL_STRING("true"),
                      TAO_PEGTL_STRING("TRUE")> {};
struct boolFalse : sor<TAO_PEGTL_STRING("off"), TAO_PEGTL_STRING("OFF"), one<'0'>, TAO_PEGTL_STRING("false"),
                       TAO_PEGTL_STRING("FALSE")> {};
struct boolean : sor<boolTrue, boolFalse> {};

template <typename Key, typename Value>
struct entry : seq<Key, ws, one<'='>, ws, Value, ws> {};

struct shadingFactorEntry : entry<TAO_PEGTL_STRING("shadingFactor"), real> {};
struct ambientEntry : entry<TAO_PEGTL_STRING("ambient"), colour> {};
struct diffuseEntry : entry<TAO_PEGTL_STRING("diffuse"), colour> {};
struct specularEntry : entry<TAO_PEGTL_STRING("specular"), colour> {};
struct alphaEntry : entry<TAO_PEGTL_STRING("alpha"), real> {};
struct specularExponentEntry : entry<TAO_PEGTL_STRING("specularExponent"), real> {};
struct blendModeEntry : entry<TAO_PEGTL_STRING("blendMode"), blendMode> {};
struct depthWriteEntry : entry<TAO_PEGTL_STRING("depthWrite"), boolean> {};
struct depthCheckEntry : entry<TAO_PEGTL_STRING("depthCheck"), boolean> {};
struct diffuseAlphaMapEntry : entry<TAO_PEGTL_STRING("diffuseAlphaMap"), texture> {};
struct normalMapEntry : entry<TAO_PEGTL_STRING("normalMap"), texture> {};
struct specularMapEntry : entry<TAO_PEGTL_STRING("specularMap"), texture> {};
struct selectionSamplerEntry : entry<TAO_PEGTL_STRING("selectionSampler"), texture> {};
struct selectionSamplerTilingEntry : entry<TAO_PEGTL_STRING("selectionSamplerTiling"), signedReal> {};
template <int K>
struct terrainLayerEntry : entry<seq<TAO_PEGTL_STRING("terrainLayer"), one<'0' + K>>, texture> {};
template <int K>
struct terrainLayerTilingEntry
    : entry<seq<TAO_PEGTL_STRING("terrainLayerTiling"), one<'0' + K>>, signedReal> {};

struct anyEntry
    : sor<shadingFactorEntry, ambientEntry, diffuseEntry, specularEntry, alphaEntry, specularExponentEntry,
          blendModeEntry, depthWriteEntry, depthCheckEntry, diffuseAlphaMapEntry, normalMapEntry,
          specularMapEntry, selectionSamplerEntry, selectionSamplerTilingEntry, terrainLayerEntry<0>,
          terrainLayerEntry<1>, terrainLayerEntry<2>, terrainLayerTilingEntry<0>, terrainLayerTilingEntry<1>,
          terrainLayerTilingEntry<2>> {};

struct header : seq<TAO_PEGTL_STRING("material"), ws, name> {};
struct body : seq<one<'{'>, ws, star<anyEntry>, one<'}'>> {};
struct file : seq<ws, must<header>, ws, must<body>, ws> {};
}  // namespace grammar

// Values parsed so far; each value rule pushes one, the entry that owns it
// pops it into the material being described.
using ParsedValue = std::variant<double, glm::vec3, std::string, BlendMode, bool>;

struct MaterialState {
    std::vector<ParsedValue> stack;
    Material description;

    template <typename T>
    T pop() {
        T value = std::get<T>(stack.back());
        stack.pop_back();
        return value;
    }
    float popFloat() { return static_cast<float>(pop<double>()); }
};

template <typename Rule>
struct action : pegtl::nothing<Rule> {};

template <>
struct action<grammar::name> {
    template <typename Input>
    static void apply(const Input& in, MaterialState& state) {
        state.stack.emplace_back(in.string());
    }
};

template <>
struct action<grammar::real> {
    template <typename Input>
    static void apply(const Input& in, MaterialState& state) {
        float value = 0.0f;
        if (!decimalToFloat(in.string(), value)) {
            throw pegtl::parse_error("number beyond the float range", in);
        }
        state.stack.emplace_back(static_cast<double>(value));
    }
};

template <>
struct action<grammar::signedReal> : action<grammar::real> {};

template <>
struct action<grammar::colour> {
    template <typename Input>
    static void apply(const Input&, MaterialState& state) {
        const float b = state.popFloat();
        const float g = state.popFloat();
        const float r = state.popFloat();
        state.stack.emplace_back(glm::vec3(r, g, b));
    }
};

template <>
struct action<grammar::texturePath> : action<grammar::name> {};

template <BlendMode Mode>
struct pushBlendMode {
    template <typename Input>
    static void apply(const Input&, MaterialState& state) {
        state.stack.emplace_back(Mode);
    }
};
template <>
struct action<grammar::overwrite> : pushBlendMode<BlendMode::Overwrite> {};
template <>
struct action<grammar::alphaBlend> : pushBlendMode<BlendMode::Alpha> {};
template <>
struct action<grammar::premultipliedAlpha> : pushBlendMode<BlendMode::PremultipliedAlpha> {};
template <>
struct action<grammar::add> : pushBlendMode<BlendMode::Add> {};
template <>
struct action<grammar::multiply> : pushBlendMode<BlendMode::Multiply> {};

template <bool Value>
struct pushBoolean {
    template <typename Input>
    static void apply(const Input&, MaterialState& state) {
        state.stack.emplace_back(Value);
    }
};
template <>
struct action<grammar::boolTrue> : pushBoolean<true> {};
template <>
struct action<grammar::boolFalse> : pushBoolean<false> {};

// Pops the value of an entry into its field of the material description.
template <typename T, T Material::*Field>
struct popInto {
    template <typename Input>
    static void apply(const Input&, MaterialState& state) {
        if constexpr (std::is_same_v<T, float>) {
            state.description.*Field = state.popFloat();
        } else if constexpr (std::is_same_v<T, std::optional<std::string>>) {
            state.description.*Field = state.pop<std::string>();
        } else {
            state.description.*Field = state.pop<T>();
        }
    }
};

using OptionalName = std::optional<std::string>;
template <>
struct action<grammar::shadingFactorEntry> : popInto<float, &Material::shadingFactor> {};
template <>
struct action<grammar::ambientEntry> : popInto<glm::vec3, &Material::ambient> {};
template <>
struct action<grammar::diffuseEntry> : popInto<glm::vec3, &Material::diffuse> {};
template <>
struct action<grammar::specularEntry> : popInto<glm::vec3, &Material::specular> {};
template <>
struct action<grammar::alphaEntry> : popInto<float, &Material::alpha> {};
template <>
struct action<grammar::specularExponentEntry> : popInto<float, &Material::specularExponent> {};
template <>
struct action<grammar::blendModeEntry> : popInto<BlendMode, &Material::blendMode> {};
template <>
struct action<grammar::depthWriteEntry> : popInto<bool, &Material::depthWrite> {};
template <>
struct action<grammar::depthCheckEntry> : popInto<bool, &Material::depthCheck> {};
template <>
struct action<grammar::diffuseAlphaMapEntry> : popInto<OptionalName, &Material::diffuseAlphaMap> {};
template <>
struct action<grammar::normalMapEntry> : popInto<OptionalName, &Material::normalMap> {};
template <>
struct action<grammar::specularMapEntry> : popInto<OptionalName, &Material::specularMap> {};
template <>
struct action<grammar::selectionSamplerEntry> : popInto<OptionalName, &Material::selectionSampler> {};
template <>
struct action<grammar::selectionSamplerTilingEntry> : popInto<float, &Material::selectionSamplerTiling> {};

template <int K>
struct action<grammar::terrainLayerEntry<K>> {
    template <typename Input>
    static void apply(const Input&, MaterialState& state) {
        state.description.terrainLayers[K] = state.pop<std::string>();
    }
};

template <int K>
struct action<grammar::terrainLayerTilingEntry<K>> {
    template <typename Input>
    static void apply(const Input&, MaterialState& state) {
        state.description.terrainLayerTilings[K] = state.popFloat();
    }
};

void applyBlendMode(BlendMode mode) {
    if (!RuntimeSettings::instance().transparency || mode == BlendMode::Overwrite) {
        glDisable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ZERO);
        return;
    }
    glEnable(GL_BLEND);
    switch (mode) {
        case BlendMode::Alpha:
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            break;
        case BlendMode::PremultipliedAlpha:
            glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
            break;
        case BlendMode::Add:
            glBlendFunc(GL_ONE, GL_ONE);
            break;
        case BlendMode::Multiply:
            glBlendFunc(GL_DST_COLOR, GL_ZERO);
            break;
        case BlendMode::Overwrite:
            break;
    }
}

constexpr Uniform kLayerSamplers[3] = {Uniform::TerrainLayer0, Uniform::TerrainLayer1,
                                       Uniform::TerrainLayer2};
constexpr Uniform kLayerTilings[3] = {Uniform::TerrainLayerTiling0, Uniform::TerrainLayerTiling1,
                                      Uniform::TerrainLayerTiling2};
}  // namespace

std::unique_ptr<Material> Material::parse(const std::string& text, const std::string& sourceName,
                                          std::string& name) {
    MaterialState state;
    try {
        pegtl::memory_input<> input(text, sourceName);
        pegtl::parse<grammar::file, action>(input, state);
    } catch (const pegtl::parse_error&) {
        LOG(error) << "Malformed material file: \"" << sourceName << "\"!";
        return nullptr;
    }
    name = state.pop<std::string>();
    return std::make_unique<Material>(state.description);
}

Texture* Material::resolve(Slot slot, const std::optional<std::string>& name) {
    if (!name) {
        return nullptr;
    }
    TextureManager& manager = TextureManager::instance();
    if (!texturesResolvedOnce || textureGeneration != manager.generation()) {
        textures.fill(nullptr);
        unresolvable.fill(false);
        textureGeneration = manager.generation();
        texturesResolvedOnce = true;
    }
    if (textures[slot] == nullptr && !unresolvable[slot]) {
        textures[slot] = manager.get(*name);
        unresolvable[slot] = textures[slot] == nullptr;
    }
    return textures[slot];
}

void Material::apply(ShaderProgram& program) {
    program.setUniform(Uniform::ShadingFactor, shadingFactor);
    program.setUniform(Uniform::AmbientCoefficient, ambient);
    program.setUniform(Uniform::DiffuseCoefficient, diffuse);
    program.setUniform(Uniform::SpecularCoefficient, specular);
    program.setUniform(Uniform::SpecularExponent, specularExponent);

    applyBlendMode(blendMode);
    glDepthMask(depthWrite ? GL_TRUE : GL_FALSE);
    glDepthFunc(depthCheck ? GL_LESS : GL_ALWAYS);

    TextureManager& textureManager = TextureManager::instance();
    const auto mapOrWhite = [&](Uniform sampler, Slot slot, const std::optional<std::string>& name) {
        Texture* texture = resolve(slot, name);
        if (texture == nullptr) {
            texture = textureManager.defaultTexture();
        }
        if (texture != nullptr) {
            program.setUniform(sampler, *texture);
        }
    };
    mapOrWhite(Uniform::DiffuseAlphaMap, DiffuseAlpha, diffuseAlphaMap);
    mapOrWhite(Uniform::SpecularMap, Specular, specularMap);

    if (Texture* normal = resolve(Normal, normalMap)) {
        program.setUniform(Uniform::NormalMap, *normal);
        program.setUniform(Uniform::NormalMapUsed, 1);
    } else {
        program.setUniform(Uniform::NormalMapUsed, 0);
    }

    if (Texture* selection = resolve(Selection, selectionSampler)) {
        program.setUniform(Uniform::SelectionSampler, *selection);
    }
    program.setUniform(Uniform::SelectionSamplerTiling, selectionSamplerTiling);
    for (std::size_t k = 0; k < 3; ++k) {
        if (Texture* layer = resolve(static_cast<Slot>(Layer0 + k), terrainLayers[k])) {
            program.setUniform(kLayerSamplers[k], *layer);
        }
        program.setUniform(kLayerTilings[k], terrainLayerTilings[k]);
    }
}

void MaterialManager::load(const std::string& path) {
    FileReader reader(path);
    std::string text;
    reader.readAll(text);
    std::string name;
    std::unique_ptr<Material> material = Material::parse(text, path, name);
    if (!material) {
        return;
    }
    if (contains(name)) {
        LOG(error) << "Material defined twice, the first definition stays: [" << name << "] in \"" << path
                   << "\"!";
        return;
    }
    LOG(debug) << "Loaded material [" << name << "] from <" << path << ">...";
    add(name, std::move(material));
}
