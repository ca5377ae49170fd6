// The page's seven commands as every host carries them: names and dispatch
// ids, and each command reaching its own operation of the controller.
#include "session/PageCommands.h"
#include "session/ScriptSink.h"
#include "session/SessionController.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class RecordingSink : public ScriptSink {
public:
  void runScript(const std::u16string& statement) override { statements.push_back(statement); }
  std::vector<std::u16string> statements;
};

struct Recorded {
  RecordingSink sink;
  int questions = 0;
  int ended = 0;
  std::unique_ptr<SessionController> controller;
  Recorded() {
    SessionController::Host host;
    host.scripts = &sink;
    host.confirm = [this](const std::u16string&, const std::u16string&) {
      ++questions;
      return false;
    };
    host.endDialog = [this] { ++ended; };
    controller = std::make_unique<SessionController>(host);
  }
};

bool startsWith(const std::u16string& text, const std::u16string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

TEST(PageCommands, EachCommandReachesItsOwnOperation) {
  Recorded quitAsked;
  EXPECT_EQ(runPageCommand(*quitAsked.controller, PageCommand::quitApplication), 0);
  EXPECT_EQ(quitAsked.questions, 1);
  EXPECT_EQ(quitAsked.ended, 0);

  Recorded quitAtOnce;
  runPageCommand(*quitAtOnce.controller, PageCommand::quitApplicationWithoutConfirmation);
  EXPECT_EQ(quitAtOnce.questions, 0);
  EXPECT_EQ(quitAtOnce.ended, 1);

  Recorded path;
  runPageCommand(*path.controller, PageCommand::getApplicationPath);
  ASSERT_EQ(path.sink.statements.size(), 1u);
  EXPECT_TRUE(startsWith(path.sink.statements[0], u"setApplicationPath('res://"));

  Recorded texts;
  runPageCommand(*texts.controller, PageCommand::getUIStrings);
  ASSERT_FALSE(texts.sink.statements.empty());
  EXPECT_TRUE(startsWith(texts.sink.statements[0], u"setHTMLString('eulaScreenTitle', "));
  EXPECT_TRUE(startsWith(texts.sink.statements.back(), u"setEULASelectedLang('"));

  Recorded progress;
  EXPECT_EQ(runPageCommand(*progress.controller, PageCommand::getScanProgress), 0);
  EXPECT_TRUE(progress.sink.statements.empty());
}
