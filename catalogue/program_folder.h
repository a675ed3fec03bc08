#pragma once

#include <string>

// The folder of the running program's file, without a trailing "/". Request folders,
// the traffic log and the picture archive all live there. Empty when the path of the
// program cannot be read or holds no "/".
std::string GetProgramFolder();

// The folder part of a file path: everything before its last "/" ("" when there is none).
std::string FolderOfPath(const std::string& path);
