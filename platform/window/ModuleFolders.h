#pragma once

#include <string>

// Folders the editor offers to its users. Each answers a path ending in the
// folder separator ('/'; '\\' on Windows), or the empty text when it cannot be found.

// Folder of the host's executable.
std::string HostExecutableFolder();
// Folder of the shared object this code is linked into (the plug-in).
std::string PluginModuleFolder();
// The user's desktop folder ($XDG_DESKTOP_DIR, else $HOME/Desktop; the shell's
// desktop folder on Windows); not created.
std::string DesktopFolder();
// The folder part of a path: up to and including its last separator ('/', on
// Windows also '\\'), provided that is not the path's last character; otherwise empty.
std::string FolderOfPath(const std::string& path);
