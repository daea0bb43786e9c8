#include "graphics/resources/mesh_definition.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/log_capture.h"

namespace {

using boost::log::trivial::error;

struct Parsed {
    bool complete;
    std::vector<MeshDefinition> entries;
};

Parsed parse(const std::string& text) {
    Parsed result;
    result.complete = parseMeshDefinitions(text, "meshes/test.mshd", [&](const MeshDefinition& definition) {
        result.entries.push_back(definition);
    });
    return result;
}

TEST(MeshDefinitionGrammar, TypeHeadersApplyToTheEntriesThatFollowThem) {
    const Parsed parsed = parse(
        "skeletal:\n"
        "  Actor = <actor.skel>\n"
        "  Ghost=<ghost.skel>\n"
        "static :\n"
        "  Rock = <rock.mesh>\n");
    ASSERT_TRUE(parsed.complete);
    ASSERT_EQ(parsed.entries.size(), 3u);
    EXPECT_EQ(parsed.entries[0].type, MeshFileType::Skeletal);
    EXPECT_EQ(parsed.entries[0].name, "Actor");
    EXPECT_EQ(parsed.entries[0].fileName, "actor.skel");
    EXPECT_EQ(parsed.entries[1].type, MeshFileType::Skeletal);
    EXPECT_EQ(parsed.entries[1].name, "Ghost");
    EXPECT_EQ(parsed.entries[2].type, MeshFileType::Static);
    EXPECT_EQ(parsed.entries[2].name, "Rock");
    EXPECT_EQ(parsed.entries[2].fileName, "rock.mesh");
}

TEST(MeshDefinitionGrammar, AnEntryBeforeAnyHeaderHasNoType) {
    const Parsed parsed = parse("Rock = <rock.mesh> static: Wall = <wall.mesh>");
    ASSERT_TRUE(parsed.complete);
    ASSERT_EQ(parsed.entries.size(), 2u);
    EXPECT_EQ(parsed.entries[0].type, MeshFileType::Unset);
    EXPECT_EQ(parsed.entries[1].type, MeshFileType::Static);
}

TEST(MeshDefinitionGrammar, AcceptsEveryKindOfWhitespaceCommentsAndOddFileNames) {
    const Parsed parsed = parse(
        "# meshes of the level\n"
        "\v\f\t\r\nstatic # a header may carry a comment before its colon\n"
        ":staticRock = <sub dir/ rock one.mesh>"
        "# the last line ends without a line feed");
    ASSERT_TRUE(parsed.complete);
    ASSERT_EQ(parsed.entries.size(), 1u);
    // "static" glued to a name is a name, not a header.
    EXPECT_EQ(parsed.entries[0].name, "staticRock");
    EXPECT_EQ(parsed.entries[0].type, MeshFileType::Static);
    EXPECT_EQ(parsed.entries[0].fileName, "sub dir/ rock one.mesh");
}

TEST(MeshDefinitionGrammar, EmptyAndCommentOnlyFilesHoldNoEntries) {
    for (const std::string text : {"", "   \n\t", "# nothing here\n# nor here"}) {
        const Parsed parsed = parse(text);
        EXPECT_TRUE(parsed.complete) << text;
        EXPECT_TRUE(parsed.entries.empty()) << text;
    }
}

TEST(MeshDefinitionGrammar, MalformedTextStopsTheParseAfterTheEntriesBeforeIt) {
    const std::vector<std::string> malformed = {
        "static:\n Rock = <rock.mesh>\n Bad_Name = <bad.mesh>\n Tree = <tree.mesh>\n",
        "static:\n Rock = <rock.mesh>\n Tree = <tree.mesh\n",  // bracket never closed
        "static:\n Rock = <rock.mesh>\n Tree <tree.mesh>\n",   // no "="
        "static:\n Rock = <rock.mesh>\n dynamic:\n",           // unknown header
        "static:\n Rock = <rock.mesh>\n = <x.mesh>\n",         // no name
        "static:\n Rock = <rock.mesh>\n :",                    // stray colon
    };
    for (const std::string& text : malformed) {
        LogCapture log;
        const Parsed parsed = parse(text);
        EXPECT_FALSE(parsed.complete) << text;
        ASSERT_EQ(parsed.entries.size(), 1u) << text;
        EXPECT_EQ(parsed.entries[0].name, "Rock");
        EXPECT_EQ(log.count(error, "Malformed mesh definiton file: \"meshes/test.mshd\"!"), 1u) << text;
    }
}

}  // namespace
