// An in-memory settings section: values by key, the keys written in order, and a count of reads.
#pragma once

#include "platform/profile.h"

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace quorlan::testing {

class FakeProfileSection final : public platform::ProfileSection {
public:
    std::string getString(const std::string& key, const std::string& defaultValue, std::size_t bufferSize) override {
        ++reads;
        const auto it = values.find(key);
        return it == values.end() ? defaultValue : it->second.substr(0, bufferSize - 1);
    }
    long getInt(const std::string& key, long defaultValue) override {
        ++reads;
        const auto it = values.find(key);
        return it == values.end() ? defaultValue : std::strtol(it->second.c_str(), nullptr, 10);
    }
    void writeString(const std::string& key, const std::string& value) override {
        values[key] = value;
        written.push_back(key);
    }

    std::map<std::string, std::string> values;
    std::vector<std::string> written;
    int reads = 0;
};

} // namespace quorlan::testing
