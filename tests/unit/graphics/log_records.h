#pragma once
// Collects the log records written while an instance lives, for tests that
// check what was reported. While it is attached the console stays quiet.
#include <algorithm>
#include <boost/log/core.hpp>
#include <boost/log/expressions/message.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/trivial.hpp>
#include <boost/make_shared.hpp>
#include <string>
#include <vector>

class GraphicsLogRecords {
  public:
    using Severity = boost::log::trivial::severity_level;

    struct Record {
        Severity severity;
        std::string text;
    };

    GraphicsLogRecords() : backend(boost::make_shared<Backend>()), sink(boost::make_shared<Sink>(backend)) {
        boost::log::core::get()->add_sink(sink);
    }
    ~GraphicsLogRecords() { boost::log::core::get()->remove_sink(sink); }
    GraphicsLogRecords(const GraphicsLogRecords&) = delete;
    GraphicsLogRecords& operator=(const GraphicsLogRecords&) = delete;

    const std::vector<Record>& all() const { return backend->records; }
    void clear() { backend->records.clear(); }

    // Records of severity whose text contains fragment.
    std::size_t count(Severity severity, const std::string& fragment = "") const {
        return static_cast<std::size_t>(std::count_if(all().begin(), all().end(), [&](const Record& record) {
            return record.severity == severity && record.text.find(fragment) != std::string::npos;
        }));
    }
    std::size_t errors() const { return count(boost::log::trivial::error); }

    // Every error record, one per line, for failure messages.
    std::string errorText() const {
        std::string text;
        for (const Record& record : all()) {
            if (record.severity >= boost::log::trivial::error) {
                text += record.text + "\n";
            }
        }
        return text;
    }

  private:
    class Backend : public boost::log::sinks::basic_sink_backend<boost::log::sinks::synchronized_feeding> {
      public:
        void consume(const boost::log::record_view& record) {
            const auto severity = record[boost::log::trivial::severity];
            const auto message = record[boost::log::expressions::smessage];
            records.push_back(
                {severity ? *severity : boost::log::trivial::info, message ? *message : std::string()});
        }
        std::vector<Record> records;
    };
    using Sink = boost::log::sinks::synchronous_sink<Backend>;

    boost::shared_ptr<Backend> backend;
    boost::shared_ptr<Sink> sink;
};
