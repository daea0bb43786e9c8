#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "graphics/resources/material.h"
#include "support/log_capture.h"

namespace {
std::unique_ptr<Material> parse(const std::string& text, std::string* name = nullptr) {
    std::string parsedName;
    std::unique_ptr<Material> material = Material::parse(text, "test.mtl", parsedName);
    if (name != nullptr) {
        *name = parsedName;
    }
    return material;
}

void expectVec3(const glm::vec3& actual, float x, float y, float z) {
    EXPECT_FLOAT_EQ(actual.x, x);
    EXPECT_FLOAT_EQ(actual.y, y);
    EXPECT_FLOAT_EQ(actual.z, z);
}
}  // namespace

TEST(MaterialFile, HeaderWithEmptyBodyGivesEveryDefault) {
    std::string name;
    const auto material = parse("material Plain {}", &name);
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(name, "Plain");
    EXPECT_FLOAT_EQ(material->shadingFactor, 1.0f);
    expectVec3(material->ambient, 0, 0, 0);
    expectVec3(material->diffuse, 1, 1, 1);
    expectVec3(material->specular, 0, 0, 0);
    EXPECT_FLOAT_EQ(material->alpha, 1.0f);
    EXPECT_FLOAT_EQ(material->specularExponent, 20.0f);
    EXPECT_EQ(material->blendMode, BlendMode::Overwrite);
    EXPECT_TRUE(material->depthWrite);
    EXPECT_TRUE(material->depthCheck);
    EXPECT_FALSE(material->diffuseAlphaMap);
    EXPECT_FALSE(material->normalMap);
    EXPECT_FALSE(material->specularMap);
    EXPECT_FALSE(material->selectionSampler);
    EXPECT_FLOAT_EQ(material->selectionSamplerTiling, 1.0f);
    for (int k = 0; k < 3; ++k) {
        EXPECT_FALSE(material->terrainLayers[k]);
        EXPECT_FLOAT_EQ(material->terrainLayerTilings[k], 1.0f);
    }
}

TEST(MaterialFile, EveryKeyIsReadAndTheLastValueWins) {
    std::string name;
    const auto material = parse(
        "# a terrain\n"
        "materialGround2{\n"
        "  shadingFactor = 0.5 ambient=(0.1, 0.2,0.3) diffuse = ( 1 , 0.5 , 0 )\n"
        "  specular = (2,2,2) alpha = 0.25 specularExponent = 64\n"
        "  blendMode = premultipliedAlpha depthWrite = OFF depthCheck = 0\n"
        "  diffuseAlphaMap = <resources/textures/a b.png> normalMap = <n.png> specularMap = <s.png>\n"
        "  selectionSampler = <sel.png> selectionSamplerTiling = -1\n"
        "  terrainLayer0 = <l0.png> terrainLayerTiling0 = +10.5\n"
        "  terrainLayer1 = <l1.png> terrainLayerTiling1 = -2\n"
        "  terrainLayer2 = <l2.png> terrainLayerTiling2 = 3\n"
        "  blendMode = add  # the later one counts\n"
        "  depthWrite = true\n"
        "}\n"
        "anything after the body is ignored {",
        &name);
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(name, "Ground2");
    EXPECT_FLOAT_EQ(material->shadingFactor, 0.5f);
    expectVec3(material->ambient, 0.1f, 0.2f, 0.3f);
    expectVec3(material->diffuse, 1.0f, 0.5f, 0.0f);
    expectVec3(material->specular, 2, 2, 2);
    EXPECT_FLOAT_EQ(material->alpha, 0.25f);
    EXPECT_FLOAT_EQ(material->specularExponent, 64.0f);
    EXPECT_EQ(material->blendMode, BlendMode::Add);
    EXPECT_TRUE(material->depthWrite);
    EXPECT_FALSE(material->depthCheck);
    EXPECT_EQ(material->diffuseAlphaMap.value_or(""), "resources/textures/a b.png");
    EXPECT_EQ(material->normalMap.value_or(""), "n.png");
    EXPECT_EQ(material->specularMap.value_or(""), "s.png");
    EXPECT_EQ(material->selectionSampler.value_or(""), "sel.png");
    EXPECT_FLOAT_EQ(material->selectionSamplerTiling, -1.0f);
    EXPECT_EQ(material->terrainLayers[0].value_or(""), "l0.png");
    EXPECT_EQ(material->terrainLayers[1].value_or(""), "l1.png");
    EXPECT_EQ(material->terrainLayers[2].value_or(""), "l2.png");
    EXPECT_FLOAT_EQ(material->terrainLayerTilings[0], 10.5f);
    EXPECT_FLOAT_EQ(material->terrainLayerTilings[1], -2.0f);
    EXPECT_FLOAT_EQ(material->terrainLayerTilings[2], 3.0f);
}

TEST(MaterialFile, EveryBlendModeAndBooleanSpellingIsAccepted) {
    const std::pair<const char*, BlendMode> modes[] = {{"overwrite", BlendMode::Overwrite},
                                                       {"alpha", BlendMode::Alpha},
                                                       {"premultipliedAlpha", BlendMode::PremultipliedAlpha},
                                                       {"add", BlendMode::Add},
                                                       {"multiply", BlendMode::Multiply}};
    for (const auto& [keyword, mode] : modes) {
        const auto material = parse(std::string("material M { blendMode = ") + keyword + " }");
        ASSERT_NE(material, nullptr) << keyword;
        EXPECT_EQ(material->blendMode, mode) << keyword;
    }
    for (const char* yes : {"on", "ON", "1", "true", "TRUE"}) {
        const auto material = parse(std::string("material M { depthWrite = off depthCheck = ") + yes + " }");
        ASSERT_NE(material, nullptr) << yes;
        EXPECT_TRUE(material->depthCheck) << yes;
    }
    for (const char* no : {"off", "OFF", "0", "false", "FALSE"}) {
        const auto material = parse(std::string("material M { depthCheck = ") + no + " }");
        ASSERT_NE(material, nullptr) << no;
        EXPECT_FALSE(material->depthCheck) << no;
    }
}

TEST(MaterialFile, NumbersOfHundredsOfDigitsAreReadOrReportedWithoutThrowing) {
    LogCapture log;
    const std::string zeros(400, '0');
    const auto tiny =
        parse("material M { alpha = 0." + zeros + "1 selectionSamplerTiling = -0." + zeros + "5 }");
    ASSERT_NE(tiny, nullptr);
    EXPECT_EQ(tiny->alpha, 0.0f);
    EXPECT_EQ(tiny->selectionSamplerTiling, 0.0f);
    const auto padded = parse("material M { shadingFactor = " + zeros + "2.5" + zeros + " }");
    ASSERT_NE(padded, nullptr);
    EXPECT_FLOAT_EQ(padded->shadingFactor, 2.5f);
    EXPECT_TRUE(log.empty());
    for (const std::string& text : {"material M { specularExponent = 1" + zeros + " }",
                                    "material M { diffuse = (1, 1" + zeros + ", 0) }",
                                    "material M { terrainLayerTiling1 = -1" + zeros + ".5 }"}) {
        SCOPED_TRACE(text.substr(0, 40));
        log.clear();
        EXPECT_EQ(parse(text), nullptr);
        EXPECT_EQ(log.count(LogCapture::Severity::error, "Malformed material file: \"test.mtl\"!"), 1u);
    }
}

TEST(MaterialFile, MalformedFilesAreReportedAndGiveNoMaterial) {
    const char* const malformed[] = {
        "material M { depthCheck = True }",  // only all lower or all upper case
        "material M { depthWrite = Off }",
        "material M { diffuse = (1, -0.5, 0) }",  // colours are unsigned
        "material M { shadingFactor = -1 }",      // so are plain reals
        "material M { shadingFactor = .5 }",
        "material M { shadingFactor = 5. }",
        "material M { alpha = 1e3 }",
        "material M { specularExponent = 1000000000000000000000000000000000000000 }",  // beyond a float
        "material M { glossiness = 3 }",                                               // unknown key
        "material M { blendMode = screen }",
        "material M { diffuse = (1, 1) }",
        "material M { diffuseAlphaMap = <open }",
        "material M_2 { }",  // underscore ends the name
        "material { }",
        "materia M { }",
        "material M",
        "material M { ",
        "",
    };
    for (const char* text : malformed) {
        SCOPED_TRACE(text);
        LogCapture log;
        EXPECT_EQ(parse(text), nullptr);
        EXPECT_EQ(log.count(LogCapture::Severity::error, "Malformed material file: \"test.mtl\"!"), 1u);
    }
}
