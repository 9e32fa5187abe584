// Temporary files that leave nothing behind: created in TMPDIR (else /tmp) and unlinked at once,
// they are reached through /proc/self/fd/N and vanish with their descriptor, however the program
// ends (a signal included).
#pragma once

#include <string>

// The new file's descriptor, 3 or above (standard streams that are closed are never taken), or
// -1 with errno set. `pattern` gets the place it was made in, for messages.
int CreateUnnamedTempFile(std::string& pattern);

// The name by which the file of an open descriptor is opened again, from its start.
std::string DescriptorFileName(int descriptor);
