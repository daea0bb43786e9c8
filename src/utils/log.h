#pragma once
// One logging macro for the whole engine. Every record reads
// "src/unit/path:line message"; the build maps __FILE__ to a path relative
// to the source tree, and the extension is dropped here.
#include <boost/log/trivial.hpp>

#include <string_view>

namespace logging_detail {
constexpr std::string_view sourceUnit(std::string_view file) {
    const auto dot = file.rfind('.');
    const auto slash = file.rfind('/');
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
        return file.substr(0, dot);
    }
    return file;
}
}  // namespace logging_detail

#define LOG(severity) \
    BOOST_LOG_TRIVIAL(severity) << ::logging_detail::sourceUnit(__FILE__) << ":" << __LINE__ << " "
