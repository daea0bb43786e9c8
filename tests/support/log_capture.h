#pragma once
// Collects every log record made while it lives, for tests that check what
// the engine reports. While a capture exists Boost.Log's default console sink
// stays silent; records are matched on their message, the part after
// "src/unit/path:line ".
//
//   LogCapture capture;
//   registry.get("absent");
//   EXPECT_EQ(capture.count(LogCapture::Severity::error, "No int under that name"), 1u);
#include <boost/log/trivial.hpp>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class LogCapture {
  public:
    using Severity = boost::log::trivial::severity_level;

    struct Record {
        Severity severity;
        std::string source;   // "src/io/file_system:14"
        std::string message;  // the text after the source
    };

    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Every record so far, oldest first.
    std::vector<Record> records() const;
    // The messages so far, oldest first; with a severity only those of it.
    std::vector<std::string> messages() const;
    std::vector<std::string> messages(Severity severity) const;

    // Whether some message contains fragment.
    bool contains(const std::string& fragment) const;
    // Messages that contain fragment, of any severity or of one.
    std::size_t count(const std::string& fragment) const;
    std::size_t count(Severity severity, const std::string& fragment) const;
    // Every message of one severity.
    std::size_t count(Severity severity) const { return count(severity, ""); }

    bool empty() const { return records().empty(); }
    void clear();

    // Shared between the capture and its sink (defined in the source file).
    struct Store;

  private:
    struct Registration;
    std::shared_ptr<Store> store;  // shared with the sink's backend
    std::unique_ptr<Registration> registration;
};
