#pragma once

#include <string_view>

struct SetupContext;

// The check of a field of the main dialog when the user leaves it with Tab or Enter: 1 when the text is
// accepted, 0 when the user must stay in the field (its message has been shown).
int ValidateField(SetupContext& context, int controlId, std::string_view text);

int CheckSetupType(SetupContext& context, std::string_view text);
int CheckPort(SetupContext& context, std::string_view text);
int CheckPassword(SetupContext& context, std::string_view text);
int CheckPasswordAgain(SetupContext& context, std::string_view text);

// The port number of a Port text: its leading decimal number.
int PortNumber(std::string_view text);
// Whether a port is one the setup offers: 80, 443, or 1000 and above.
bool IsAcceptedPort(int port);
