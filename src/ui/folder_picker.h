#pragma once

#include <optional>
#include <string>

#include "platform/handles.h"

class Files;
struct DialogContext;

inline constexpr char kInstallationMarker[] = "HNembricAI.dll";

// Opens the folder picker for a directory field of the dialog and puts the picked folder into it; an empty
// field starts the picker in a found installation. After a pick the focus moves to the next field.
void BrowseForField(DialogContext& ui, WindowHandle dialog, int controlId);

// The folder of an existing installation (the one holding the server module): along the search path, in
// the fixed candidate folders, then below the root of every fixed drive from C to Z. The first hit wins.
std::optional<std::string> FindInstalledFolder(Files& files);

// The system's folder dialog, owned by `owner`, starting in `initialFolder` when it is given; the picked
// folder's path, or nullopt when the user cancelled or the pick has no file-system path that fits.
std::optional<std::string> PickFolder(DialogContext& ui, WindowHandle owner,
                                      const std::string& initialFolder);

// The Search button: looks for an existing installation and, when it finds one, puts its folder into the
// Server Directory field; otherwise says that none was found.
void SearchInstallation(DialogContext& ui, WindowHandle dialog);
