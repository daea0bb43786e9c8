#pragma once
// Collects the log records made while it lives, for tests that check what
// a loader reports. While a capture is installed the default console output
// is off (Boost.Log prints to the console only when no sink exists).
#include <boost/log/attributes/value_extraction.hpp>
#include <boost/log/core.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/trivial.hpp>
#include <boost/make_shared.hpp>
#include <cstddef>
#include <string>
#include <vector>

class LogCapture {
  public:
    struct Record {
        boost::log::trivial::severity_level severity;
        std::string text;
    };

    LogCapture() : backend(boost::make_shared<Backend>()), sink(boost::make_shared<Sink>(backend)) {
        boost::log::core::get()->add_sink(sink);
    }
    ~LogCapture() { boost::log::core::get()->remove_sink(sink); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<Record>& records() const { return backend->records; }

    // Records of the severity whose text contains part.
    std::size_t count(boost::log::trivial::severity_level severity, const std::string& part) const {
        std::size_t n = 0;
        for (const Record& record : backend->records) {
            if (record.severity == severity && record.text.find(part) != std::string::npos) {
                ++n;
            }
        }
        return n;
    }

    std::size_t count(boost::log::trivial::severity_level severity) const { return count(severity, ""); }

  private:
    struct Backend : boost::log::sinks::basic_sink_backend<boost::log::sinks::synchronized_feeding> {
        void consume(const boost::log::record_view& record) {
            const auto severity =
                boost::log::extract<boost::log::trivial::severity_level>("Severity", record);
            const auto message = boost::log::extract<std::string>("Message", record);
            records.push_back({severity ? *severity : boost::log::trivial::trace, message ? *message : ""});
        }
        std::vector<Record> records;
    };
    using Sink = boost::log::sinks::synchronous_sink<Backend>;

    boost::shared_ptr<Backend> backend;
    boost::shared_ptr<Sink> sink;
};
