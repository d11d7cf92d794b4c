// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/ImageFile.h"

#include <string>

namespace fw {

// Reads a firmware image once. Only a regular file (or a link to one) counts as readable, and one
// that cannot be read comes with the reason; at most limit + 1 bytes are read, so an image over the
// limit is recognised without holding all of it.
ImageFile readImageFile(const std::string& path, std::size_t limit);

} // namespace fw
