// What the file modules share: the save and load modes, the current file
// name that a trigger fills from the raw file-name pins, and how a name
// becomes a path to save to or a file to load.
#pragma once

#include "file_access.h"
#include "mp_sdk_gui.h"

#include <string>

namespace qw::files
{
// Modes of the savers and loaders: when a save or load happens besides on
// the trigger (any other value: on the trigger only).
enum Mode
{
    ON_NAME = 1, // a file-name pin changes
    ON_DATA = 2, // the data pin changes (savers)
};

// A trigger finds no current file name: it takes the left name as it
// stands, else the right one.
void takeNameIfEmpty(std::wstring& current, const std::wstring& left, const std::wstring& right);

// The full path the host makes of a name to save to; the name itself when
// the host gives nothing back (and for a name with a NUL in it, which the
// host would take for a shorter one).
std::wstring resolvedName(const UiHost& host, const std::wstring& name);

// Reads the whole file of a name to load: the name as it stands (a relative
// one from the working folder), else, when nothing opens there, the bare file
// name as the host resolves it. False, with `bytes` empty, when neither gives
// a whole file of at most one pin value's size.
bool readNamed(const UiHost& host, const std::wstring& name, std::string& bytes);

// A text as a path and a path as text (UTF-8 between them), for taking names
// apart and joining them; no file is opened, so a NUL is a character here.
std::filesystem::path pathOfText(const std::wstring& text);
std::wstring textOfPath(const std::filesystem::path& path);
} // namespace qw::files
