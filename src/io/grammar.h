#pragma once
// Rules shared by every text format of the game (data, level, volumes,
// shader, material and mesh definitions): white space including vertical
// tab and form feed, and "#" comments running to the end of the line.
#include <tao/pegtl.hpp>

namespace grammar_common {
using namespace tao::pegtl;

struct space : one<' ', '\n', '\r', '\t', '\v', '\f'> {};
struct comment : seq<one<'#'>, until<sor<one<'\n'>, eof>>> {};
// Any run of white space and comments, possibly empty.
struct gap : star<sor<space, comment>> {};
}  // namespace grammar_common
