#include "support/log_capture.h"

#include <boost/log/attributes/value_extraction.hpp>
#include <boost/log/core.hpp>
#include <boost/log/expressions/message.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/make_shared.hpp>
#include <mutex>

struct LogCapture::Store {
    mutable std::mutex mutex;
    std::vector<Record> records;
};

namespace {
// Splits "src/unit/path:line message" at the first space; engine paths hold
// no spaces. A record made without the macro keeps its whole text as message.
LogCapture::Record makeRecord(LogCapture::Severity severity, const std::string& text) {
    const std::size_t space = text.find(' ');
    const std::size_t colon = text.find(':');
    if (space == std::string::npos || colon == std::string::npos || colon > space) {
        return {severity, std::string(), text};
    }
    return {severity, text.substr(0, space), text.substr(space + 1)};
}

class CaptureBackend : public boost::log::sinks::basic_sink_backend<boost::log::sinks::synchronized_feeding> {
  public:
    explicit CaptureBackend(std::shared_ptr<LogCapture::Store> store) : store(std::move(store)) {}

    void consume(const boost::log::record_view& record) {
        const auto severity = boost::log::extract<LogCapture::Severity>("Severity", record);
        const auto message = boost::log::extract<std::string>("Message", record);
        LogCapture::Record captured =
            makeRecord(severity ? *severity : boost::log::trivial::trace, message ? *message : std::string());
        std::lock_guard<std::mutex> lock(store->mutex);
        store->records.push_back(std::move(captured));
    }

  private:
    std::shared_ptr<LogCapture::Store> store;
};

using CaptureSink = boost::log::sinks::synchronous_sink<CaptureBackend>;
}  // namespace

struct LogCapture::Registration {
    boost::shared_ptr<CaptureSink> sink;
};

LogCapture::LogCapture() : store(std::make_shared<Store>()), registration(std::make_unique<Registration>()) {
    registration->sink = boost::make_shared<CaptureSink>(boost::make_shared<CaptureBackend>(store));
    // No sink filter: every severity from trace up is kept.
    boost::log::core::get()->add_sink(registration->sink);
}

LogCapture::~LogCapture() {
    boost::log::core::get()->remove_sink(registration->sink);
    registration->sink->flush();
}

std::vector<LogCapture::Record> LogCapture::records() const {
    std::lock_guard<std::mutex> lock(store->mutex);
    return store->records;
}

std::vector<std::string> LogCapture::messages() const {
    std::vector<std::string> result;
    for (const Record& record : records()) {
        result.push_back(record.message);
    }
    return result;
}

std::vector<std::string> LogCapture::messages(Severity severity) const {
    std::vector<std::string> result;
    for (const Record& record : records()) {
        if (record.severity == severity) {
            result.push_back(record.message);
        }
    }
    return result;
}

bool LogCapture::contains(const std::string& fragment) const {
    return count(fragment) != 0;
}

std::size_t LogCapture::count(const std::string& fragment) const {
    std::size_t matches = 0;
    for (const Record& record : records()) {
        if (record.message.find(fragment) != std::string::npos) {
            ++matches;
        }
    }
    return matches;
}

std::size_t LogCapture::count(Severity severity, const std::string& fragment) const {
    std::size_t matches = 0;
    for (const Record& record : records()) {
        if (record.severity == severity && record.message.find(fragment) != std::string::npos) {
            ++matches;
        }
    }
    return matches;
}

void LogCapture::clear() {
    std::lock_guard<std::mutex> lock(store->mutex);
    store->records.clear();
}
