// The page's window.external: a script run at the start of the page that
// defines the seven commands by name. Each command is a synchronous request
// to the command scheme, which the window answers on its own thread after
// running the command, so a command returns only when the application has
// carried it out, and getScanProgress returns its number at once.
#pragma once

#include <string>

// The script that defines window.external in the page.
std::string externalObjectScript();

// Style rules the host adds to the page: no text selection and no scroll
// bars on the page itself (elements that scroll keep their own).
std::string hostStyleSheet();
