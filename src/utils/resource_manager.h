#pragma once
// Registry of named resources of one kind. Each manager loads files of its
// format with load(path) and stores what it loads under a name of its choice;
// the first resource stored under a name wins.
#include <boost/core/demangle.hpp>

#include <map>
#include <memory>
#include <string>
#include <typeinfo>

#include "io/file_system.h"
#include "utils/log.h"
#include "utils/non_copyable.h"

template <typename T>
class ResourceManager : private NonCopyable {
public:
    virtual void load(const std::string& path) = 0;
    virtual ~ResourceManager() = default;

    // Loads every regular file below directory whose path ends with extension
    // (case-sensitive; the empty extension matches every file).
    void loadDirectory(const std::string& directory, const std::string& extension, bool recursive) {
        std::list<std::string> entries;
        FileSystem::listDirectory(directory, entries);
        for (const std::string& entry : entries) {
            // One status query per entry, so a failing one is reported once.
            const FileSystem::PathKind kind = FileSystem::kindOf(entry);
            if (recursive && kind == FileSystem::PathKind::directory) {
                loadDirectory(entry, extension, recursive);
            } else if (!endsWith(entry, extension)) {
                continue;
            } else if (kind == FileSystem::PathKind::regularFile) {
                loadEntry(entry);
            } else if (kind == FileSystem::PathKind::missing) {
                // Listed a moment ago, gone now (or a link to nothing).
                reportVanished(entry);
            }
        }
    }

    // Stores resource under name unless the name is taken; the stored entry
    // then stays and the new resource is released.
    void add(const std::string& name, std::unique_ptr<T> resource) {
        resources.emplace(name, std::move(resource));
    }

    // The resource stored under name, or nullptr after an error record.
    T* get(const std::string& name) const {
        const auto it = resources.find(name);
        if (it == resources.end()) {
            LOG(error) << "No " << typeName() << " under that name present: \"" << name << "\"!";
            return nullptr;
        }
        return it->second.get();
    }

    // Lookup without the error record, for callers that probe.
    T* find(const std::string& name) const {
        const auto it = resources.find(name);
        return it == resources.end() ? nullptr : it->second.get();
    }

    bool contains(const std::string& name) const { return resources.count(name) != 0; }
    std::size_t size() const { return resources.size(); }
    const std::map<std::string, std::unique_ptr<T>>& all() const { return resources; }

    // Drops every resource (tests and tear-down of OpenGL resources).
    void clear() { resources.clear(); }

protected:
    // The name of the stored type as the lookup error gives it.
    virtual std::string typeName() const { return boost::core::demangle(typeid(T).name()); }

private:
    static bool endsWith(const std::string& text, const std::string& suffix) {
        return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
    }

    // A file that disappears between listing and reading is reported and
    // skipped; loading goes on with the next file.
    void loadEntry(const std::string& path) {
        try {
            load(path);
        } catch (const FileNotFoundError&) {
            reportVanished(path);
        }
    }

    static void reportVanished(const std::string& path) {
        LOG(error) << "File vanished before it could be read: \"" << path << "\"!";
    }

    std::map<std::string, std::unique_ptr<T>> resources;
};
