// Reading a Wine prefix's registry file (system.reg) into the simulator's
// registry model, so that a Wine prefix can be read as a machine.
//
// Wine's format ("WINE REGISTRY Version 2"): a key is a line "[path] stamp",
// with each backslash of the path doubled; its values follow as "name"=data or
// @=data. Data is "text" (REG_SZ), str(N):"text" (a string of type N), dword:
// eight hex digits, hex:bytes (REG_BINARY) or hex(N):bytes, where long hex
// data continues on the next line after a trailing backslash. Strings are
// UTF-16 with C-like escapes (\n, \xNNNN, octal \0 ...) and are stored with
// their terminating zero. Lines starting with '#' carry the key's time stamp,
// class or link mark; a key marked "#link" is a symbolic link (Wine keeps
// CurrentControlSet as a link to ControlSet001), whose values are skipped.
//
// String data is given as a program calling the registry's "A" functions
// would read it: each UTF-16 code unit below 0x100 as one byte (ASCII and
// Latin-1, as the ANSI code page of a Western Windows maps them), any other
// as '?'.
#pragma once

#include <string>
#include <string_view>

#include "winsim/registry.h"

namespace orvane::tools {

// Adds every key and value of TEXT below ROOT ("HKEY_LOCAL_MACHINE"), keys
// under System\ControlSet001 also as System\CurrentControlSet. Throws
// std::runtime_error naming the line when the text is not Wine's format.
void ReadWineRegistry(std::string_view text, std::string_view root,
                      winsim::Registry& registry);

}  // namespace orvane::tools
