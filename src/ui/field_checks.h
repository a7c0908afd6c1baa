#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "product/setup_choices.h"

struct DialogContext;

// A check that failed: the control the person is sent back to and the message shown.
struct InputError {
  int controlId;
  const char* message;
};

// The check of a field of the main dialog when it is left with Tab or Enter, by its control ID; the
// re-entered password is compared with `firstPassword`, the password as its own check took it. Nothing
// when the text is accepted.
std::optional<InputError> CheckFieldText(int controlId, std::string_view text,
                                         std::string_view firstPassword);

// The checks of OK, in their order: the client directory when the client is chosen; the server
// directory, the port and the two passwords (as typed) when the server is chosen.
std::optional<InputError> CheckChoices(const SetupChoices& choices);

// Tab or Enter in a field: its check, and when it passes, what the field changes in the dialog (the
// Setup Type shows its groups, the BitSize fills the client directories). 1 when accepted; 0 when the
// person must stay in the field, after its message was shown.
int ValidateField(DialogContext& ui, int controlId, std::string_view text);

// A failed check of OK: shows its message, then puts the focus on its field with the whole text selected.
void ShowInputError(DialogContext& ui, const InputError& error);

// The port number of a Port text: its leading decimal number.
int PortNumber(std::string_view text);
// Whether a port is one the setup offers: 80, 443, or 1000 and above.
bool IsAcceptedPort(int port);
// A password as its check takes it: at most 63 characters, without trailing blanks.
std::string PasswordAsChecked(std::string_view text);
