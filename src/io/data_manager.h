#pragma once
// The key/value store of every setting and tuning value, filled from the
// ".dat" files under data/ at start-up. Values are kept as written and
// converted on every read.
#include <boost/lexical_cast.hpp>
#include <glm/vec3.hpp>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "utils/resource_manager.h"
#include "utils/singleton.h"

// Raised by the typed reads for a key no data file defines.
class MissingDataKeyError : public std::runtime_error {
  public:
    explicit MissingDataKeyError(const std::string& key)
        : std::runtime_error("Missing data key \"" + key + "\"!"), key(key) {}
    std::string key;
};

// Raised by the typed reads for a value that does not convert to the type
// asked for; names the key, the file that defines it and the text.
class DataValueError : public boost::bad_lexical_cast {
  public:
    DataValueError(const std::string& key, const std::string& source, const std::string& text)
        : key(key),
          source(source),
          text(text),
          message("Data value of \"" + key + "\" in \"" + source + "\" does not convert: \"" + text + "\"!") {
    }
    const char* what() const noexcept override { return message.c_str(); }
    std::string key;
    std::string source;
    std::string text;

  private:
    std::string message;
};

class DataManager : public ResourceManager<std::string>, public Singleton<DataManager> {
  public:
    void load(const std::string& path) override;

    // Parses data file text into the store (the body of load, for any source).
    void parse(const std::string& text, const std::string& sourceName);

    // Typed reads: the value of key converted to T with the standard lexical
    // conversion. A missing key raises MissingDataKeyError after the
    // registry's error record; text that does not convert raises
    // DataValueError (a boost::bad_lexical_cast).
    template <typename T>
    static T getValue(const std::string& key) {
        const std::string& text = raw(key);
        try {
            return convert<T>(text);
        } catch (const boost::bad_lexical_cast&) {
            throw DataValueError(key, instance().sourceOf(key), text);
        }
    }

    // A vector written "(x,y,z)": the first and last characters are dropped,
    // the rest split at ","; fewer than three pieces raise DataValueError.
    static glm::vec3 getVec3(const std::string& key);

    // The file (source name) that defined key, empty for keys stored by code.
    std::string sourceOf(const std::string& key) const;

  protected:
    std::string typeName() const override { return "std::string"; }

  private:
    static const std::string& raw(const std::string& key);

    // The lexical conversion, except that integers narrower than int (and
    // wider than the character types, which convert one character) are
    // read as int-sized ones and range-checked here: the library's own
    // narrow readers accumulate the digits in a promoted int and overflow
    // (undefined) on long digit runs. The results are the library's: a
    // leading minus wraps an unsigned value, a magnitude beyond the type is
    // refused.
    template <typename T>
    static T convert(const std::string& text) {
        if constexpr (std::is_integral_v<T> && sizeof(T) > 1 && sizeof(T) < sizeof(int)) {
            using Wide = std::conditional_t<std::is_signed_v<T>, int, unsigned int>;
            const bool negative = !text.empty() && text[0] == '-';
            const std::string magnitude = negative ? text.substr(1) : text;
            if (magnitude.empty() || magnitude[0] == '-' || magnitude[0] == '+') {
                throw boost::bad_lexical_cast();
            }
            const Wide wide = boost::lexical_cast<Wide>(magnitude);
            const Wide limit = std::is_signed_v<T> && negative ? Wide(std::numeric_limits<T>::max()) + 1
                                                               : Wide(std::numeric_limits<T>::max());
            if (wide > limit) {
                throw boost::bad_lexical_cast();
            }
            return static_cast<T>(negative ? 0 - wide : wide);
        } else {
            return boost::lexical_cast<T>(text);
        }
    }

    // Source name per key, set when a parse stores the key.
    std::map<std::string, std::string> sources;
};

template <>
inline std::string DataManager::getValue<std::string>(const std::string& key) {
    return raw(key);
}
