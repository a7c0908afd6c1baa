#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "run/answer_file.h"
#include "ui/field_checks.h"

struct Machine;

// The texts of the main dialog's fields by control ID, as a person would leave them.
using FieldTexts = std::map<int, std::string>;

// The largest answer file that is read.
inline constexpr std::size_t kAnswerFileMaxBytes = 65536;

// The whole answer file through the files port; nullopt when it cannot be read or is larger than
// kAnswerFileMaxBytes.
std::optional<std::string> ReadAnswerFile(Machine& machine, const std::string& path);

// The keys of an answer file, one per field of the main dialog.
std::vector<const char*> AnswerKeys();

// The answers as field texts; a value outside its field's list is an error, as the log line that names the
// file, the line and the key.
std::variant<FieldTexts, std::string> AnswerFieldTexts(const Answers& answers, const std::string& fileName);

// The log line of an answer file that cannot be read or parsed.
std::string AnswerFileErrorLine(const std::string& fileName, const AnswerFileError& error);

// What the dialog shows before anyone types: the first item of each list, and for the BitSize the client
// directory its Tab would fill in. Answers replace them field by field.
FieldTexts DefaultFieldTexts();
FieldTexts WithAnswers(FieldTexts texts, const FieldTexts& answers);

// The checks a person's Tab makes in each field that the setup type shows (the SQL Server fields only when
// SQL Server Express is to be installed), in the dialog's order.
std::optional<InputError> CheckFieldTexts(const FieldTexts& texts, bool sqlServerFound);
