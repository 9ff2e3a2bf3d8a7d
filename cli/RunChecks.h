#pragma once
#include "cli/EnglishTexts.h"
#include "cli/RunOptions.h"

#include <string>

// The checks made before anything is sent, with the window's refusal texts where it has
// one: the login name, the address range, the firmware file; and the resolution of what
// the options only name (the range, the language entry, the login password).
// Returns the message of the first refusal, empty when the options pass. Needs no network.
std::string check_run_options(RunOptions& options, const EnglishTexts& texts);

// The language entry a text names: "0".."20", or an entry's English text in any case; -1
// for none.
int language_index(const std::string& text, const EnglishTexts& texts);
