#include "run/unattended.h"

#include <algorithm>
#include <array>

#include "core/file_reading.h"
#include "platform/machine.h"
#include "resources/resource.h"
#include "ui/dialog_choices.h"
#include "ui/dialog_defaults.h"

namespace {

constexpr char kAnswerFile[] = "Answer file ";
constexpr char kLine[] = ", line ";
constexpr char kKey[] = ", key ";
constexpr char kNotInList[] = "the value is not one of ";
constexpr char kYes[] = "Yes";

struct AnswerField {
  const char* key;
  int controlId;
  // The value must be one of the field's list.
  bool listed;
};

constexpr std::array<AnswerField, 10> kAnswerFields = {{
    {"SetupType", IDC_SETUP_TYPE, true},
    {"BitSize", IDC_BIT_SIZE, true},
    {"ClientDirectory", IDC_CLIENT_DIRECTORY, false},
    {"ServerDirectory", IDC_SERVER_DIRECTORY, false},
    {"Edition", IDC_EDITION, true},
    {"Port", IDC_PORT, false},
    {"Hosts", IDC_HOSTS, false},
    {"ProxyServer", IDC_PROXY_SERVER, false},
    {"InstallSqlServer", IDC_INSTALL_SQL, true},
    {"SqlPassword", IDC_PASSWORD, false},
}};

std::string Joined(const std::vector<std::string>& items) {
  std::string joined;
  for (const std::string& item : items) {
    joined += (joined.empty() ? "" : ", ") + item;
  }
  return joined;
}

}  // namespace

std::optional<std::string> ReadAnswerFile(Machine& machine, const std::string& path) {
  return ReadWholeFile(machine.files, path, kAnswerFileMaxBytes);
}

std::string AnswerFileErrorLine(const std::string& fileName, const AnswerFileError& error) {
  std::string line = kAnswerFile + fileName;
  if (error.line != 0) {
    line += kLine + std::to_string(error.line);
  }
  if (!error.key.empty()) {
    line += kKey + error.key;
  }
  return line + ": " + error.reason;
}

std::vector<const char*> AnswerKeys() {
  std::vector<const char*> keys;
  keys.reserve(kAnswerFields.size());
  for (const AnswerField& field : kAnswerFields) {
    keys.push_back(field.key);
  }
  return keys;
}

std::variant<FieldTexts, std::string> AnswerFieldTexts(const Answers& answers, const std::string& fileName) {
  FieldTexts texts;
  for (const AnswerField& field : kAnswerFields) {
    const auto answer = answers.find(field.key);
    if (answer == answers.end()) {
      continue;
    }
    const std::string& value = answer->second.value;
    if (field.listed) {
      const std::vector<std::string> items = FieldItems(field.controlId);
      if (std::find(items.begin(), items.end(), value) == items.end()) {
        return AnswerFileErrorLine(fileName, {answer->second.line, field.key, kNotInList + Joined(items)});
      }
    }
    texts[field.controlId] = value;
    if (field.controlId == IDC_PASSWORD) {
      texts[IDC_PASSWORD_AGAIN] = value;
    }
  }
  return texts;
}

FieldTexts DefaultFieldTexts() {
  FieldTexts texts;
  for (const int id : {IDC_SETUP_TYPE, IDC_EDITION, IDC_BIT_SIZE, IDC_INSTALL_SQL, IDC_SERVER_DIRECTORY}) {
    const std::vector<std::string> items = FieldItems(id);
    if (!items.empty()) {
      texts[id] = items.front();
    }
  }
  return texts;
}

FieldTexts WithAnswers(FieldTexts texts, const FieldTexts& answers) {
  for (const auto& [id, text] : answers) {
    texts[id] = text;
  }
  // The BitSize's Tab fills the client directory unless one was given.
  if (!answers.contains(IDC_CLIENT_DIRECTORY)) {
    texts[IDC_CLIENT_DIRECTORY] = FirstClientDirectory(texts[IDC_BIT_SIZE]);
  }
  return texts;
}

std::optional<InputError> CheckFieldTexts(const FieldTexts& texts, bool sqlServerFound) {
  const auto text = [&texts](int id) {
    const auto found = texts.find(id);
    return found == texts.end() ? std::string() : found->second;
  };
  const SetupType setupType = SetupTypeNamed(text(IDC_SETUP_TYPE));
  std::vector<int> fields = {IDC_SETUP_TYPE};
  if (ChoosesClient(setupType)) {
    fields.push_back(IDC_CLIENT_DIRECTORY);
  }
  if (ChoosesServer(setupType)) {
    fields.insert(fields.end(), {IDC_SERVER_DIRECTORY, IDC_EDITION, IDC_PORT});
    if (!sqlServerFound) {
      fields.push_back(IDC_INSTALL_SQL);
      if (text(IDC_INSTALL_SQL) == kYes) {
        fields.insert(fields.end(), {IDC_PASSWORD, IDC_PASSWORD_AGAIN});
      }
    }
  }
  const std::string firstPassword = PasswordAsChecked(text(IDC_PASSWORD));
  for (const int id : fields) {
    if (std::optional<InputError> error = CheckFieldText(id, text(id), firstPassword)) {
      return error;
    }
  }
  return std::nullopt;
}
