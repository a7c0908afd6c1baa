#pragma once

// Keeps every DLL the process loads after this call to the system folder: the default DLL directories
// become the system folder alone (SetDefaultDllDirectories), and the delay-loaded system DLLs (winhttp,
// uxtheme, comctl32, cabinet, bcrypt, msi) are bound through LoadLibraryEx with
// LOAD_LIBRARY_SEARCH_SYSTEM32, which applies to their own dependencies too. The exe's own folder (a
// Downloads folder any program may write to) and the current folder are never searched. The entry's
// first call.
void RestrictDllSearchToSystemFolder();
