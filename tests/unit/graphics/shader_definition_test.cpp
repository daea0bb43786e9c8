#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/resources/shader_program.h"

namespace {
std::vector<ShaderProgramDefinition> parse(const std::string& text) {
    std::vector<ShaderProgramDefinition> definitions;
    parseShaderProgramDefinitions(text, "test.spd", [&](const ShaderProgramDefinition& definition) {
        definitions.push_back(definition);
    });
    return definitions;
}
}  // namespace

TEST(ShaderDefinitionFile, DefinitionsShareTheirParseState) {
    const auto definitions = parse(
        "# two programs\n"
        "shaderProgram First {\n"
        "    vertexShader = <first.vert>\n"
        "    fragmentShader = <shared.frag>\n"
        "}\n"
        "shaderProgram Second { vertexShader=<second.vert> }\n"
        "shaderProgram Third {}\n");
    ASSERT_EQ(definitions.size(), 3u);
    EXPECT_EQ(definitions[0].name, "First");
    EXPECT_EQ(definitions[0].vertexFile, "first.vert");
    EXPECT_EQ(definitions[0].fragmentFile, "shared.frag");
    // An omitted entry keeps the file the previous definition named.
    EXPECT_EQ(definitions[1].name, "Second");
    EXPECT_EQ(definitions[1].vertexFile, "second.vert");
    EXPECT_EQ(definitions[1].fragmentFile, "shared.frag");
    EXPECT_EQ(definitions[2].name, "Third");
    EXPECT_EQ(definitions[2].vertexFile, "second.vert");
    EXPECT_EQ(definitions[2].fragmentFile, "shared.frag");
}

TEST(ShaderDefinitionFile, ValuesAreTakenLiterallyAndLaterEntriesWin) {
    const auto definitions = parse(
        "shaderProgramTight{fragmentShader=<a.frag>vertexShader\v=\f< spaced name.vert >"
        "fragmentShader = <b\nc.frag> # comment { } <\n"
        "}");
    ASSERT_EQ(definitions.size(), 1u);
    // The keyword written against the name still reads as keyword and name.
    EXPECT_EQ(definitions[0].name, "Tight");
    EXPECT_EQ(definitions[0].vertexFile, " spaced name.vert ");
    EXPECT_EQ(definitions[0].fragmentFile, "b\nc.frag");
}

TEST(ShaderDefinitionFile, ParsingStopsSilentlyAtTheFirstIncompleteDefinition) {
    const std::string first = "shaderProgram Good { vertexShader = <g.vert> fragmentShader = <g.frag> }\n";
    const std::string after = "shaderProgram Later { vertexShader = <l.vert> }\n";
    const std::string broken[] = {
        "shaderProgram Bad_Name { vertexShader = <b.vert> }\n",  // underscore ends the name
        "shaderProgram { vertexShader = <b.vert> }\n",           // no name
        "shaderProgram Open { vertexShader = <b.vert>\n",        // no closing brace
        "shaderProgram Odd { geometryShader = <b.geom> }\n",     // unknown entry
        "shaderProgram Bare { vertexShader <b.vert> }\n",        // no "="
        "garbage\n",
    };
    for (const std::string& bad : broken) {
        SCOPED_TRACE(bad);
        const auto definitions = parse(first + bad + after);
        ASSERT_EQ(definitions.size(), 1u);
        EXPECT_EQ(definitions[0].name, "Good");
    }
    EXPECT_TRUE(parse("").empty());
    EXPECT_TRUE(parse("  # only a comment").empty());
}
