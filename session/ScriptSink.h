// Where the application's script statements go: the page in the window, or
// a recorder when there is no window.
#pragma once

#include <string>

class ScriptSink {
public:
  virtual ~ScriptSink() = default;
  // Runs one JavaScript statement in the page; its result and any script
  // error are ignored.
  virtual void runScript(const std::u16string& statement) = 0;
};
