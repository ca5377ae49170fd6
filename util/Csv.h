// Comma-separated values as RFC 4180 writes them, for the tools' tables that
// a spreadsheet or a script reads: fields quoted where they need it, records
// ended by CR LF. The output is always UTF-8: ill-formed sequences of the
// UTF-8 input become U+FFFD, as in the tools' JSON.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One field: as it is when it holds no comma, double quote, CR or LF;
// otherwise enclosed in double quotes with every double quote doubled.
std::string csvField(std::string_view text);

// One record: the fields, each written by csvField, joined by commas and
// ended by CR LF.
std::string csvRecord(const std::vector<std::string>& fields);
