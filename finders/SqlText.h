// Building SQL text from values read out of the installer's databases.
#pragma once

#include <string>
#include <string_view>

// The value as an SQL string literal: between single quotes, every single
// quote inside doubled. Whatever the value holds, the literal stays one
// value and never ends the statement.
std::string sqlQuoted(std::string_view value);
