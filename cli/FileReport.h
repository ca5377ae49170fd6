// What fennick-verify reports about one file, and the forms it prints it in:
// a JSON object, a tab-separated text line, a CSV record; and the verdict
// class a report falls in, for --only and the summary.
#pragma once

#include "validation/ValidatorBase.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct FileReport {
  std::string path;                         // as given, or as the walk formed it
  const char* validator = nullptr;          // "PE", "JAR", or none
  std::optional<int> result;                // the validation result, when one ran
  std::optional<std::uint32_t> trustStatus; // the platform's status, when a trust check ran
  std::optional<SignerInfo> signer;         // the signer facts, when a validator ran
  std::string note;                         // why there is no result
};

// The four classes of verdict that --only chooses from and the summary counts.
enum class VerdictClass { Verified, Affected, Unsigned, Failed };

// Verified (0), Affected (6), Unsigned (NoSignature, 2); every other result,
// and a file no validator took, Failed.
VerdictClass verdictClassOf(const FileReport& report);

// The class a word of --only names ("affected", "verified", "unsigned",
// "failed"); nothing for any other word.
std::optional<VerdictClass> verdictClassNamed(const std::string& word);

// {"path": ..., "validator": ..., "result": ..., "resultName": ...,
// "trustStatus": ..., "signer": {...}, "note": ...}; the note only when
// there is one.
std::string jsonObject(const FileReport& report);

// path, result name (with the trust status when it is not 0), signer names,
// thumbprint and time-stamp, tab-separated, "-" where there is nothing; or
// path and note when no validator ran. UTF-8.
std::string textLine(const FileReport& report);

// The header record of the CSV form, and the record of one report: the
// fields of the JSON object in its order, the signer's spread over three
// columns; empty where the JSON has null.
std::string csvHeader();
std::string csvLine(const FileReport& report);
