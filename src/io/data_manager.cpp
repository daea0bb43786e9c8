#include "io/data_manager.h"

#include <tao/pegtl.hpp>
#include <vector>

#include "io/grammar.h"
#include "utils/log.h"

namespace pegtl = tao::pegtl;

namespace {
namespace grammar {
using namespace tao::pegtl;

using grammar_common::comment;
using grammar_common::gap;
using grammar_common::space;
struct key : plus<sor<alnum, one<'.'>>> {};
struct value : plus<sor<alnum, one<'_', '.', '(', ')', '-', ','>>> {};
struct pair : seq<gap, key, gap, one<'='>, gap, value, gap> {};
struct file : star<not_at<eof>, pair> {};
}  // namespace grammar

struct ParseState {
    std::vector<std::string> stack;
    DataManager* manager;
    std::map<std::string, std::string>* sources;
    const std::string* sourceName;
};

template <typename Rule>
struct action : pegtl::nothing<Rule> {};

template <>
struct action<grammar::key> {
    template <typename Input>
    static void apply(const Input& in, ParseState& state) {
        state.stack.push_back(in.string());
    }
};

template <>
struct action<grammar::value> {
    template <typename Input>
    static void apply(const Input& in, ParseState& state) {
        state.stack.push_back(in.string());
    }
};

template <>
struct action<grammar::pair> {
    template <typename Input>
    static void apply(const Input&, ParseState& state) {
        std::string value = std::move(state.stack.back());
        state.stack.pop_back();
        std::string key = std::move(state.stack.back());
        state.stack.pop_back();
        if (!state.manager->contains(key)) {
            (*state.sources)[key] = *state.sourceName;
        }
        state.manager->add(key, std::make_unique<std::string>(std::move(value)));
    }
};

}  // namespace

void DataManager::load(const std::string& path) {
    FileReader reader(path);
    std::string text;
    reader.readAll(text);
    parse(text, path);
}

void DataManager::parse(const std::string& text, const std::string& sourceName) {
    ParseState state{{}, this, &sources, &sourceName};
    try {
        pegtl::memory_input<> input(text, sourceName);
        pegtl::parse<grammar::file, action>(input, state);
    } catch (const pegtl::parse_error&) {
        LOG(error) << "Malformed data file: \"" << sourceName << "\"!";
    }
}

const std::string& DataManager::raw(const std::string& key) {
    const std::string* value = instance().get(key);
    if (value == nullptr) {
        throw MissingDataKeyError(key);
    }
    return *value;
}

std::string DataManager::sourceOf(const std::string& key) const {
    const auto it = sources.find(key);
    return it == sources.end() || !contains(key) ? std::string() : it->second;
}

glm::vec3 DataManager::getVec3(const std::string& key) {
    const std::string& text = raw(key);
    const std::string inner = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::string();
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = inner.find(',', start);
        pieces.push_back(inner.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    try {
        if (pieces.size() >= 3) {
            return glm::vec3(boost::lexical_cast<float>(pieces[0]), boost::lexical_cast<float>(pieces[1]),
                             boost::lexical_cast<float>(pieces[2]));
        }
    } catch (const boost::bad_lexical_cast&) {
    }
    throw DataValueError(key, instance().sourceOf(key), text);
}
