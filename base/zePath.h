// The one path normaliser behind every open, the packager and the tests.
// Content made on Windows spells names loosely: backslashes, wrong letter case.
#pragma once

#include <string>

// Backslashes become slashes; "." and ".." are folded (".." never climbs above
// the root, or above the start of a relative name); repeated slashes collapse.
// A leading "/" is kept.
std::string zePathFold(const std::string& path);

// Joins a relative name to a working directory; an absolute name ("/x", or a
// drive-style "c:/x") is returned as it stands.
std::string zePathJoin(const std::string& workingDirectory, const std::string& name);
bool zePathIsAbsolute(const std::string& name);

// The name of a file inside an archive: folded, with the leading "/" dropped.
std::string zePathInArchive(const std::string& workingDirectory, const std::string& name);

// The name of a file on disk: joined and folded; when it does not exist as
// written, each component is matched without regard to case. Returns the
// joined, folded name unchanged when no match exists.
std::string zePathOnDisk(const std::string& workingDirectory, const std::string& name);

// Directory of a path: up to and including the last '/', '\' or ':'.
std::string zePathDirectory(const std::string& path);
// File name of a path, its extension (from the last '.') removed unless kept.
std::string zePathFileName(const std::string& path, bool keepExtension);
// The extension of the file name, without its '.'; "" when it has none.
std::string zePathExtension(const std::string& path);
