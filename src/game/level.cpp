#include "game/level.h"

#include <algorithm>
#include <cmath>
#include <tao/pegtl.hpp>

#include "io/decimal.h"
#include "io/file_system.h"
#include "io/grammar.h"
#include "utils/log.h"

namespace pegtl = tao::pegtl;

namespace {
namespace grammar {
using namespace tao::pegtl;

using grammar_common::comment;
using grammar_common::gap;
using grammar_common::space;

struct name : plus<alnum> {};
// No exponent, and no bare "." at either end: "3." and ".5" are not numbers.
struct number : seq<opt<one<'+', '-'>>, plus<digit>, opt<one<'.'>, plus<digit>>> {};
struct comma : seq<gap, one<','>, gap> {};
struct vector : seq<one<'('>, gap, number, comma, number, comma, number, gap, one<')'>> {};
struct quaternion : seq<one<'('>, gap, number, comma, number, comma, number, comma, number, gap, one<')'>> {};

template <typename Word, typename Value>
struct property : seq<gap, Word, gap, one<'='>, gap, Value, gap> {};
struct position : property<TAO_PEGTL_STRING("position"), vector> {};
struct rotation : property<TAO_PEGTL_STRING("rotation"), quaternion> {};
struct scale : property<TAO_PEGTL_STRING("scale"), vector> {};
struct properties : star<sor<position, rotation, scale>> {};

struct object : seq<name, gap, one<'{'>, gap, properties, gap, one<'}'>> {};
struct level : seq<gap, object, gap, star<gap, object, gap>> {};
}  // namespace grammar

struct ParseState {
    LevelObject current;
    // Numbers of the vector or quaternion being read. A value that fails
    // half-way may leave numbers behind; a property takes only the last ones.
    std::vector<float> numbers;
    std::vector<LevelObject> parsed;

    // The last count numbers, in the order written.
    std::vector<float> take(std::size_t count) {
        std::vector<float> values(numbers.end() - static_cast<std::ptrdiff_t>(count), numbers.end());
        numbers.clear();
        return values;
    }
};

// A file quaternion (x, y, z, w) about a Z-up axis becomes the same turn about
// the Y-up axis (x, z, -y).
glm::quat convertRotation(float x, float y, float z, float w) {
    const float t = 1.0f - w * w;
    glm::vec3 axis(0.0f, 0.0f, 1.0f);
    if (t > 0.0f) {
        axis = glm::vec3(x, y, z) * (1.0f / std::sqrt(t));
    }
    // w beyond +-1 (an unnormalised quaternion) would make acos undefined;
    // clamping turns it into the nearest valid angle instead of NaNs.
    const float degrees = 2.0f * std::acos(std::clamp(w, -1.0f, 1.0f)) * 57.29578f;
    const float half = degrees * 0.017453292f / 2.0f;
    const float s = std::sin(half);
    return glm::quat(std::cos(half), s * axis.x, s * axis.z, -s * axis.y);
}

template <typename Rule>
struct action : pegtl::nothing<Rule> {};

template <>
struct action<grammar::name> {
    template <typename Input>
    static void apply(const Input& in, ParseState& state) {
        state.current.name = in.string();
    }
};

template <>
struct action<grammar::number> {
    template <typename Input>
    static void apply(const Input& in, ParseState& state) {
        float value = 0.0f;
        if (!decimalToFloat(in.string(), value)) {
            LOG(error) << "Level number beyond the float range in \"" << in.position().source << "\": \""
                       << in.string() << "\"!";
            throw pegtl::parse_error("number beyond the float range", in);
        }
        state.numbers.push_back(value);
    }
};

template <>
struct action<grammar::position> {
    template <typename Input>
    static void apply(const Input&, ParseState& state) {
        const std::vector<float> v = state.take(3);
        state.current.position = glm::vec3(v[0], v[2], -v[1]);
    }
};

template <>
struct action<grammar::rotation> {
    template <typename Input>
    static void apply(const Input&, ParseState& state) {
        const std::vector<float> q = state.take(4);
        state.current.rotation = convertRotation(q[0], q[1], q[2], q[3]);
    }
};

template <>
struct action<grammar::scale> {
    template <typename Input>
    static void apply(const Input&, ParseState& state) {
        const std::vector<float> v = state.take(3);
        state.current.scale = glm::vec3(v[0], v[1], v[2]);
    }
};

template <>
struct action<grammar::object> {
    template <typename Input>
    static void apply(const Input&, ParseState& state) {
        state.parsed.push_back(state.current);
        state.current = LevelObject();
    }
};
}  // namespace

Level parseLevel(const std::string& text, const std::string& sourceName) {
    ParseState state;
    pegtl::memory_input<> input(text, sourceName);
    try {
        pegtl::parse<grammar::level, action>(input, state);
    } catch (const pegtl::parse_error&) {
        // A refused number ends the parse like text that does not fit: the
        // objects before it stay.
    }

    Level level;
    for (LevelObject& object : state.parsed) {
        if (object.name == "BlueSpawn") {
            level.spawnPoints[Blue].push_back(object.position);
        } else if (object.name == "RedSpawn") {
            level.spawnPoints[Red].push_back(object.position);
        } else if (object.name == "BlueFlag") {
            level.flagPositions[Blue] = object.position;
        } else if (object.name == "RedFlag") {
            level.flagPositions[Red] = object.position;
        } else {
            level.objects.push_back(std::move(object));
        }
    }
    return level;
}

Level loadLevel(const std::string& path) {
    LOG(debug) << "Loading level from [" << path << "]...";
    FileReader reader(path);
    std::string text;
    reader.readAll(text);
    Level level = parseLevel(text, path);
    LOG(debug) << level.objects.size() << " level objects";
    return level;
}
