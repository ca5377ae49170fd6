// Sets the POSIX locale variables for one test and restores them after it.
// Every variable the user's languages come from starts out unset.
#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

class LocaleEnvironment {
public:
  LocaleEnvironment() {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
      unsetenv(name);
    }
  }
  LocaleEnvironment(const LocaleEnvironment&) = delete;
  LocaleEnvironment& operator=(const LocaleEnvironment&) = delete;
  ~LocaleEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }

  LocaleEnvironment& set(const char* name, const char* value) {
    setenv(name, value, 1);
    return *this;
  }

  // UI language from LC_MESSAGES, default language from LC_CTYPE.
  LocaleEnvironment& languages(const char* ui, const char* standard) {
    return set("LC_MESSAGES", ui).set("LC_CTYPE", standard);
  }

private:
  static constexpr const char* kNames[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES",
                                           "LC_CTYPE", "LANG"};
  std::map<std::string, std::optional<std::string>> saved_;
};
