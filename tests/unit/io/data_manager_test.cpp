#include "io/data_manager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "support/log_capture.h"
#include "support/scratch_directory.h"

namespace {
using Severity = boost::log::trivial::severity_level;

// The store is the process-wide data manager, so every test starts and ends
// with it empty.
class DataManagerTest : public ::testing::Test {
  protected:
    void SetUp() override { DataManager::instance().clear(); }
    void TearDown() override { DataManager::instance().clear(); }

    static void parse(const std::string& text) { DataManager::instance().parse(text, "test.dat"); }

    static std::map<std::string, std::string> stored() {
        std::map<std::string, std::string> pairs;
        for (const auto& [key, value] : DataManager::instance().all()) {
            pairs[key] = *value;
        }
        return pairs;
    }
};

TEST_F(DataManagerTest, GrammarReadsPairsUpToTheFirstTextThatIsNotAPair) {
    struct Case {
        const char* text;
        std::map<std::string, std::string> expected;
    };
    const Case cases[] = {
        {"a.b = 1 # note\nc=2", {{"a.b", "1"}, {"c", "2"}}},
        {"a=1 b=2", {{"a", "1"}, {"b", "2"}}},
        // Vertical tab, form feed and carriage return are white space; a
        // comment may end the file without a line feed.
        {"\v\f x \t=\r\n 7 # last words", {{"x", "7"}}},
        {"# heading\nv=(0.5,-1,2)#glued\nw=x_y.z", {{"v", "(0.5,-1,2)"}, {"w", "x_y.z"}}},
        // "_" is no key character: reading stops at the pair, silently.
        {"a=1\nmy_key=2\nb=3", {{"a", "1"}}},
        // A value is one word; "World" is not followed by "=".
        {"title=Hello World\nnext=1", {{"title", "Hello"}}},
        // "+" ends the value and then the reading.
        {"f=1e+3\ng=2", {{"f", "1e"}}},
        // Bytes above 127 are no key characters.
        {"a=1\n\xc3\xa9=2\nb=3", {{"a", "1"}}},
        {"a=\"quoted\"\nb=2", {}},
        {"v=[1,2,3]\nb=2", {}},
        {"a=1\n=2\nb=3", {{"a", "1"}}},
        {"a=1 b", {{"a", "1"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        DataManager::instance().clear();
        LogCapture capture;
        parse(c.text);
        EXPECT_EQ(stored(), c.expected);
        EXPECT_TRUE(capture.empty());
    }
}

TEST_F(DataManagerTest, KeyDefinedTwiceKeepsItsFirstDefinition) {
    ScratchDirectory scratch;
    const std::string first = scratch.write("first.dat", "shared=1 a=1 a=2");
    const std::string second = scratch.write("second.dat", "shared=2\nonlySecond=3");
    LogCapture capture;
    DataManager::instance().load(first);
    DataManager::instance().load(second);
    EXPECT_EQ(stored(),
              (std::map<std::string, std::string>{{"shared", "1"}, {"a", "1"}, {"onlySecond", "3"}}));
    EXPECT_TRUE(capture.empty());
}

TEST_F(DataManagerTest, EmptyOrCommentOnlyFileDefinesNothingAndLogsNothing) {
    ScratchDirectory scratch;
    const std::string files[] = {
        scratch.write("empty.dat", ""),
        scratch.write("comment.dat", "# nothing but a comment"),
        scratch.write("blank.dat", " \n\t\v\f\r\n# one\n#two\n\n"),
    };
    LogCapture capture;
    for (const std::string& file : files) {
        DataManager::instance().load(file);
    }
    EXPECT_EQ(DataManager::instance().size(), 0u);
    EXPECT_TRUE(capture.empty());
}

TEST_F(DataManagerTest, LoadOfAMissingFileRaisesTheReadersError) {
    ScratchDirectory scratch;
    try {
        DataManager::instance().load(scratch.path("absent.dat"));
        FAIL() << "load did not raise";
    } catch (const FileNotFoundError& error) {
        EXPECT_STREQ(error.what(), "File doesn't exist");
    }
}

TEST_F(DataManagerTest, BooleanReadAcceptsOnlyZeroAndOne) {
    parse("one=1 zero=0 word=true yes=yes two=2");
    EXPECT_TRUE(DataManager::getValue<bool>("one"));
    EXPECT_FALSE(DataManager::getValue<bool>("zero"));
    for (const char* key : {"word", "yes", "two"}) {
        SCOPED_TRACE(key);
        EXPECT_THROW(DataManager::getValue<bool>(key), boost::bad_lexical_cast);
    }
}

TEST_F(DataManagerTest, IntegerReadsWrapAMinusSignAndRejectOutOfRangeOrTrailingText) {
    parse("minus=-1 big=70000 top=65535 n=1280 mixed=12abc");
    EXPECT_EQ(DataManager::getValue<uint32_t>("minus"), 4294967295u);
    EXPECT_EQ(DataManager::getValue<uint32_t>("n"), 1280u);
    EXPECT_EQ(DataManager::getValue<uint16_t>("top"), 65535u);
    EXPECT_EQ(DataManager::getValue<uint32_t>("big"), 70000u);
    EXPECT_THROW(DataManager::getValue<uint16_t>("big"), boost::bad_lexical_cast);
    EXPECT_THROW(DataManager::getValue<uint32_t>("mixed"), boost::bad_lexical_cast);
}

TEST_F(DataManagerTest, NarrowIntegerReadsRefuseLongDigitRunsAndKeepTheWideRules) {
    // Long digit runs once overflowed inside the narrow conversion.
    parse(
        "run=0000006820000000000000000065532 zeros=000000000000000000000065535 edge=65536 "
        "wrap=-1 wrapTop=-65535 below=-65536 "
        "shortLow=-32768 shortHigh=32767 shortOver=32768 shortUnder=-32769");
    EXPECT_THROW(DataManager::getValue<uint16_t>("run"), DataValueError);
    EXPECT_EQ(DataManager::getValue<uint16_t>("zeros"), 65535u);
    EXPECT_THROW(DataManager::getValue<uint16_t>("edge"), DataValueError);
    EXPECT_EQ(DataManager::getValue<uint16_t>("wrap"), 65535u);
    EXPECT_EQ(DataManager::getValue<uint16_t>("wrapTop"), 1u);
    EXPECT_THROW(DataManager::getValue<uint16_t>("below"), DataValueError);
    EXPECT_EQ(DataManager::getValue<int16_t>("shortLow"), -32768);
    EXPECT_EQ(DataManager::getValue<int16_t>("shortHigh"), 32767);
    EXPECT_THROW(DataManager::getValue<int16_t>("shortOver"), DataValueError);
    EXPECT_THROW(DataManager::getValue<int16_t>("shortUnder"), DataValueError);
}

TEST_F(DataManagerTest, FloatReadsAcceptExponentsAndRejectTrailingText) {
    parse("small=1e-3 plain=2.5 negative=-0.25 infinite=inf notANumber=NaN trailing=1.5x cut=1e+3");
    EXPECT_FLOAT_EQ(DataManager::getValue<float>("small"), 0.001f);
    EXPECT_FLOAT_EQ(DataManager::getValue<float>("plain"), 2.5f);
    EXPECT_FLOAT_EQ(DataManager::getValue<float>("negative"), -0.25f);
    EXPECT_TRUE(std::isinf(DataManager::getValue<float>("infinite")));
    EXPECT_TRUE(std::isnan(DataManager::getValue<float>("notANumber")));
    // "cut" holds "1e", all that "1e+3" leaves.
    EXPECT_THROW(DataManager::getValue<float>("cut"), boost::bad_lexical_cast);
    EXPECT_THROW(DataManager::getValue<float>("trailing"), boost::bad_lexical_cast);
}

TEST_F(DataManagerTest, TextReadGivesTheValueAsWritten) {
    parse("name=Idle_2.b-(x)");
    EXPECT_EQ(DataManager::getValue<std::string>("name"), "Idle_2.b-(x)");
}

TEST_F(DataManagerTest, VectorReadDropsTheBracketsAndNeedsThreeNumbers) {
    parse("round=(1,2,3) letters=x1,2,3y signs=(0.5,-1,2e1) four=(1,2,3,4)");
    // Square brackets are no value characters, so only code can store them.
    DataManager::instance().add("square", std::make_unique<std::string>("[1,2,3]"));
    EXPECT_EQ(DataManager::getVec3("round"), glm::vec3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(DataManager::getVec3("square"), glm::vec3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(DataManager::getVec3("letters"), glm::vec3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(DataManager::getVec3("signs"), glm::vec3(0.5f, -1.0f, 20.0f));
    EXPECT_EQ(DataManager::getVec3("four"), glm::vec3(1.0f, 2.0f, 3.0f));

    parse("gap=(1,,3) none=() two=(1,2) single=x short=(1,2,) words=(a,b,c)");
    for (const char* key : {"gap", "none", "two", "single", "short", "words"}) {
        SCOPED_TRACE(key);
        EXPECT_THROW(DataManager::getVec3(key), boost::bad_lexical_cast);
    }
}

TEST_F(DataManagerTest, AValueThatDoesNotConvertIsNamedWithItsKeyFileAndText) {
    DataManager& manager = DataManager::instance();
    manager.parse("cooldown.fireball = abc camera.offset = (1,2)", "data/skills.dat");
    manager.parse("cooldown.fireball = 2 huge = 1" + std::string(40, '0') + " tick = 70000", "data/more.dat");
    DataManager::instance().add("coded", std::make_unique<std::string>("x"));
    struct Case {
        std::function<void()> read;
        std::string message;
    };
    const Case cases[] = {
        {[] { DataManager::getValue<float>("cooldown.fireball"); },
         "Data value of \"cooldown.fireball\" in \"data/skills.dat\" does not convert: \"abc\"!"},
        {[] { DataManager::getVec3("camera.offset"); },
         "Data value of \"camera.offset\" in \"data/skills.dat\" does not convert: \"(1,2)\"!"},
        {[] { DataManager::getValue<float>("huge"); },
         "Data value of \"huge\" in \"data/more.dat\" does not convert: \"1" + std::string(40, '0') + "\"!"},
        {[] { DataManager::getValue<uint16_t>("tick"); },
         "Data value of \"tick\" in \"data/more.dat\" does not convert: \"70000\"!"},
        {[] { DataManager::getValue<int>("coded"); },
         "Data value of \"coded\" in \"\" does not convert: \"x\"!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        try {
            c.read();
            FAIL() << "the read did not raise";
        } catch (const DataValueError& error) {
            EXPECT_EQ(error.what(), c.message);
        }
    }
    // The conversion error is still the lexical one callers may catch.
    EXPECT_THROW(DataManager::getValue<float>("cooldown.fireball"), boost::bad_lexical_cast);
    // Once the store is cleared a key takes the file of its new definition.
    manager.clear();
    manager.parse("cooldown.fireball = abc", "data/third.dat");
    try {
        DataManager::getValue<float>("cooldown.fireball");
        FAIL() << "the read did not raise";
    } catch (const DataValueError& error) {
        EXPECT_EQ(error.source, "data/third.dat");
        EXPECT_EQ(error.key, "cooldown.fireball");
        EXPECT_EQ(error.text, "abc");
    }
}

TEST_F(DataManagerTest, ReadOfAMissingKeyRaisesAfterTheRegistryRecord) {
    LogCapture capture;
    try {
        DataManager::getValue<float>("k");
        FAIL() << "getValue did not raise";
    } catch (const MissingDataKeyError& error) {
        EXPECT_EQ(error.key, "k");
    }
    EXPECT_THROW(DataManager::getValue<std::string>("k"), MissingDataKeyError);
    EXPECT_THROW(DataManager::getVec3("k"), MissingDataKeyError);
    const std::string record = "No std::string under that name present: \"k\"!";
    EXPECT_THAT(capture.messages(), ::testing::ElementsAre(record, record, record));
    EXPECT_EQ(capture.count(Severity::error, record), 3u);
}
}  // namespace
